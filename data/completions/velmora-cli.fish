# fish completion for velmora-cli

set -l commands scan clean serve token

complete -c velmora-cli -f
complete -c velmora-cli -n "not __fish_seen_subcommand_from $commands" -a scan -d 'List the libraries below a location with their sizes'
complete -c velmora-cli -n "not __fish_seen_subcommand_from $commands" -a clean -d 'Remove the regenerable data of the libraries below a location'
complete -c velmora-cli -n "not __fish_seen_subcommand_from $commands" -a serve -d 'Serve a web console for the libraries below folders'
complete -c velmora-cli -n "not __fish_seen_subcommand_from $commands" -a token -d 'Manage the web console tokens'
complete -c velmora-cli -n "not __fish_seen_subcommand_from $commands" -l version -d 'Show the version'
complete -c velmora-cli -s h -l help -d 'Show the usage'

# scan
complete -c velmora-cli -n "__fish_seen_subcommand_from scan" -l json -d 'Print one JSON array instead of the table'
complete -c velmora-cli -n "__fish_seen_subcommand_from scan" -l threads -x -d 'Threads for the walk (0: default)'
complete -c velmora-cli -n "__fish_seen_subcommand_from scan" -l cross-file-systems -d 'Also enter folders mounted below the location'

# clean
complete -c velmora-cli -n "__fish_seen_subcommand_from clean" -l dry-run -d 'List what would be removed; remove nothing'
complete -c velmora-cli -n "__fish_seen_subcommand_from clean" -l cross-file-systems -d 'Also scan and clean folders mounted below the location'
complete -c velmora-cli -n "__fish_seen_subcommand_from clean" -l library -r -a '(__fish_complete_directories)' -d 'Clean only this library'
complete -c velmora-cli -n "__fish_seen_subcommand_from clean" -l category -x -a 'render proxy optimized analysis all' -d 'What to remove'
complete -c velmora-cli -n "__fish_seen_subcommand_from clean" -l jobs -x -d 'Libraries cleaned at once'
complete -c velmora-cli -n "__fish_seen_subcommand_from clean" -l untouched-for -x -d 'Clean only libraries not modified for DAYS days'
complete -c velmora-cli -n "__fish_seen_subcommand_from clean" -l json -d 'Print one JSON report instead of the lines'
complete -c velmora-cli -n "__fish_seen_subcommand_from clean" -l quiet -d 'Leave out the line of each removed entry'

# serve
complete -c velmora-cli -n "__fish_seen_subcommand_from serve" -l listen -x -d 'ADDR:PORT to listen on'
complete -c velmora-cli -n "__fish_seen_subcommand_from serve" -l tls-cert -r -F -d 'Certificate chain for HTTPS'
complete -c velmora-cli -n "__fish_seen_subcommand_from serve" -l tls-key -r -F -d 'Private key for HTTPS'
complete -c velmora-cli -n "__fish_seen_subcommand_from serve token" -l state-dir -r -a '(__fish_complete_directories)' -d 'Where tokens, scans and the history are kept'
complete -c velmora-cli -n "__fish_seen_subcommand_from serve" -l rescan-every -x -d 'Scan every root again this often'
complete -c velmora-cli -n "__fish_seen_subcommand_from serve" -l request-timeout -x -d 'Time a client has to send a whole request'
complete -c velmora-cli -n "__fish_seen_subcommand_from serve" -l allow-host -x -d 'A host name the server answers to'
complete -c velmora-cli -n "__fish_seen_subcommand_from serve" -l config -r -F -d 'A file of key = value lines'

# token
complete -c velmora-cli -n "__fish_seen_subcommand_from token; and not __fish_seen_subcommand_from add list remove" -a 'add list remove'
complete -c velmora-cli -n "__fish_seen_subcommand_from token" -l role -x -a 'viewer cleaner' -d 'What the token may do'

# LOCATION: a directory
complete -c velmora-cli -n "__fish_seen_subcommand_from $commands" -a '(__fish_complete_directories)'
