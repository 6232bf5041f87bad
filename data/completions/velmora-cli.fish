# fish completion for velmora-cli

set -l commands scan clean

complete -c velmora-cli -f
complete -c velmora-cli -n "not __fish_seen_subcommand_from $commands" -a scan -d 'List the libraries below a location with their sizes'
complete -c velmora-cli -n "not __fish_seen_subcommand_from $commands" -a clean -d 'Remove the regenerable data of the libraries below a location'
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

# LOCATION: a directory
complete -c velmora-cli -n "__fish_seen_subcommand_from $commands" -a '(__fish_complete_directories)'
