<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>ActionPanel</name>
    <message>
        <source>清理渲染缓存</source>
        <translation>Clean Render Files</translation>
    </message>
    <message>
        <source>清理代理媒体</source>
        <translation>Clean Proxy Media</translation>
    </message>
    <message>
        <source>清理优化媒体</source>
        <translation>Clean Optimized Media</translation>
    </message>
    <message>
        <source>清理分析缓存</source>
        <translation>Clean Analysis Files</translation>
    </message>
    <message>
        <source>一键清理资源库</source>
        <translation>Clean Library</translation>
    </message>
    <message>
        <source>一键清理硬盘</source>
        <translation>Clean All Libraries</translation>
    </message>
</context>
<context>
    <name>BundleListModel</name>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
    <message>
        <source>总大小 %1；%2；%3；%4；%5</source>
        <translation>Total %1; %2; %3; %4; %5</translation>
    </message>
</context>
<context>
    <name>BundleSortFilterModel</name>
    <message numerus="yes">
        <source>%1 / %n 个资源库</source>
        <translation>
            <numerusform>%1 of %n library</numerusform>
            <numerusform>%1 of %n libraries</numerusform>
        </translation>
    </message>
    <message>
        <source>扫描顺序</source>
        <translation>Scan order</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>总大小</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>可清理大小</source>
        <translation>Reclaimable</translation>
    </message>
</context>
<context>
    <name>CacheCategory</name>
    <message>
        <source>缓存大小: %1</source>
        <translation>Render Files: %1</translation>
    </message>
    <message>
        <source>缓存大小</source>
        <translation>Render Files</translation>
    </message>
    <message>
        <source>正在清理时间线渲染缓存...</source>
        <translation>Cleaning render files...</translation>
    </message>
    <message>
        <source>已清理时间线渲染缓存。</source>
        <translation>Render files have been cleaned.</translation>
    </message>
    <message>
        <source>时间线渲染缓存中没有需要清理的文件。</source>
        <translation>There are no render files to clean.</translation>
    </message>
    <message>
        <source>代理媒体: %1</source>
        <translation>Proxy Media: %1</translation>
    </message>
    <message>
        <source>代理媒体</source>
        <translation>Proxy Media</translation>
    </message>
    <message>
        <source>正在清理代理媒体...</source>
        <translation>Cleaning proxy media...</translation>
    </message>
    <message>
        <source>已清理代理媒体。</source>
        <translation>Proxy media has been cleaned.</translation>
    </message>
    <message>
        <source>代理媒体中没有需要清理的文件。</source>
        <translation>There is no proxy media to clean.</translation>
    </message>
    <message>
        <source>优化媒体: %1</source>
        <translation>Optimized Media: %1</translation>
    </message>
    <message>
        <source>优化媒体</source>
        <translation>Optimized Media</translation>
    </message>
    <message>
        <source>正在清理优化媒体...</source>
        <translation>Cleaning optimized media...</translation>
    </message>
    <message>
        <source>已清理优化媒体。</source>
        <translation>Optimized media has been cleaned.</translation>
    </message>
    <message>
        <source>优化媒体中没有需要清理的文件。</source>
        <translation>There is no optimized media to clean.</translation>
    </message>
    <message>
        <source>媒体分析缓存: %1</source>
        <translation>Analysis Files: %1</translation>
    </message>
    <message>
        <source>媒体分析缓存</source>
        <translation>Analysis Files</translation>
    </message>
    <message>
        <source>正在清理媒体分析缓存...</source>
        <translation>Cleaning analysis files...</translation>
    </message>
    <message>
        <source>已清理媒体分析缓存。</source>
        <translation>Analysis files have been cleaned.</translation>
    </message>
    <message>
        <source>媒体分析缓存中没有需要清理的文件。</source>
        <translation>There are no analysis files to clean.</translation>
    </message>
    <message numerus="yes">
        <source>时间线渲染缓存中有 %n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>%n render file entry could not be removed: %1: %2</numerusform>
            <numerusform>%n render file entries could not be removed. The first was %1: %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>代理媒体中有 %n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>%n proxy media entry could not be removed: %1: %2</numerusform>
            <numerusform>%n proxy media entries could not be removed. The first was %1: %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>优化媒体中有 %n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>%n optimized media entry could not be removed: %1: %2</numerusform>
            <numerusform>%n optimized media entries could not be removed. The first was %1: %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>媒体分析缓存中有 %n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>%n analysis file entry could not be removed: %1: %2</numerusform>
            <numerusform>%n analysis file entries could not be removed. The first was %1: %2</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>CleanCommand</name>
    <message>
        <source>no location given</source>
        <translation>no location given</translation>
    </message>
    <message>
        <source>location is not a directory: %1</source>
        <translation>location is not a directory: %1</translation>
    </message>
    <message>
        <source>not a library folder (a directory whose name ends in .fcpbundle, not a link): %1</source>
        <translation>not a library folder (a directory whose name ends in .fcpbundle, not a link): %1</translation>
    </message>
    <message>
        <source>library is not inside the location: %1</source>
        <translation>library is not inside the location: %1</translation>
    </message>
    <message>
        <source>location cannot be read: %1</source>
        <translation>location cannot be read: %1</translation>
    </message>
    <message>
        <source>working folder cannot be read: %1</source>
        <translation>working folder cannot be read: %1</translation>
    </message>
    <message>
        <source>library cannot be read: %1</source>
        <translation>library cannot be read: %1</translation>
    </message>
    <message>
        <source>Mount points not entered: %1 (--cross-file-systems enters them)</source>
        <translation>Mount points not entered: %1 (--cross-file-systems enters them)</translation>
    </message>
    <message>
        <source>the log could not be written to standard output: %1</source>
        <translation>the log could not be written to standard output: %1</translation>
    </message>
    <message>
        <source>Libraries: %1</source>
        <translation>Libraries: %1</translation>
    </message>
    <message>
        <source>%1 libraries skipped as recently modified</source>
        <translation>%1 libraries skipped as recently modified</translation>
    </message>
    <message>
        <source>Entries to remove: %1</source>
        <translation>Entries to remove: %1</translation>
    </message>
    <message>
        <source>Bytes to reclaim: %1 (%2)</source>
        <translation>Bytes to reclaim: %1 (%2)</translation>
    </message>
    <message>
        <source>Entries removed: %1</source>
        <translation>Entries removed: %1</translation>
    </message>
    <message>
        <source>Entries failed: %1</source>
        <translation>Entries failed: %1</translation>
    </message>
    <message>
        <source>Bytes reclaimed: %1 (%2)</source>
        <translation>Bytes reclaimed: %1 (%2)</translation>
    </message>
    <message>
        <source>Disk space freed: %1 (%2)</source>
        <translation>Disk space freed: %1 (%2)</translation>
    </message>
    <message>
        <source>Stopped by signal %1 before the run was complete</source>
        <translation>Stopped by signal %1 before the run was complete</translation>
    </message>
    <message>
        <source>Libraries gone since the scan (removed by someone else): %1</source>
        <translation>Libraries gone since the scan (removed by someone else): %1</translation>
    </message>
    <message>
        <source>library is outside the location (through &quot;..&quot; or a link): %1</source>
        <translation>library is outside the location (through &quot;..&quot; or a link): %1</translation>
    </message>
    <message>
        <source>library is outside the location (through &quot;..&quot;, a link or another file system): %1</source>
        <translation>library is outside the location (through &quot;..&quot;, a link or another file system): %1</translation>
    </message>
</context>
<context>
    <name>ConfirmCleanDialog</name>
    <message>
        <source>一键清理硬盘</source>
        <translation>Clean All Libraries</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>清理</source>
        <translation>Clean</translation>
    </message>
</context>
<context>
    <name>ContentView</name>
    <message>
        <source>已扫描 %1 项 · 找到 %2 个资源库</source>
        <translation>Entries: %1 · Libraries: %2</translation>
    </message>
    <message>
        <source>正在清理资源库...</source>
        <translation>Cleaning the library...</translation>
    </message>
    <message>
        <source>已清理选定的资源库。</source>
        <translation>The selected library has been cleaned.</translation>
    </message>
    <message>
        <source>正在清理硬盘上的所有资源库...</source>
        <translation>Cleaning all libraries on the drive...</translation>
    </message>
    <message>
        <source>已清理选定目录中所有资源库的缓存、代理媒体、优化媒体和媒体分析缓存。</source>
        <translation>Render files, proxy media, optimized media and analysis files have been cleaned from every library in the selected folder.</translation>
    </message>
    <message>
        <source>正在清理... %1%</source>
        <translation>Cleaning... %1%</translation>
    </message>
    <message>
        <source>所选目录不存在：%1</source>
        <translation>The chosen folder does not exist: %1</translation>
    </message>
    <message>
        <source>所选位置不是目录：%1</source>
        <translation>The chosen location is not a folder: %1</translation>
    </message>
    <message>
        <source>无法读取所选目录：%1</source>
        <translation>The chosen folder cannot be read: %1</translation>
    </message>
    <message>
        <source>%1 中没有 Final Cut Pro 资源库。</source>
        <translation>There are no Final Cut Pro libraries in %1.</translation>
    </message>
    <message>
        <source>无法在文件管理器中显示 %1。</source>
        <translation>%1 could not be shown in the file manager.</translation>
    </message>
    <message>
        <source>无法打开 %1。</source>
        <translation>%1 could not be opened.</translation>
    </message>
    <message>
        <source>正在停止清理...</source>
        <translation>Stopping the cleaning...</translation>
    </message>
    <message numerus="yes">
        <source>清理已停止。停止前已删除 %n 项。</source>
        <translation>
            <numerusform>Cleaning stopped. %n item was removed before the stop.</numerusform>
            <numerusform>Cleaning stopped. %n items were removed before the stop.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>选定的资源库中有 %n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>%n entry of the selected library could not be removed: %1: %2</numerusform>
            <numerusform>%n entries of the selected library could not be removed. The first was %1: %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>选定目录中有 %n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>%n entry in the chosen folder could not be removed: %1: %2</numerusform>
            <numerusform>%n entries in the chosen folder could not be removed. The first was %1: %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%1 · %n 个资源库 · 共 %2 · 可清理 %3</source>
        <translation>
            <numerusform>%1 · %n library · %2 in all · %3 reclaimable</numerusform>
            <numerusform>%1 · %n libraries · %2 in all · %3 reclaimable</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>将从 %1 中的 %n 个资源库删除：时间线渲染缓存 %2、代理媒体 %3、优化媒体 %4、媒体分析缓存 %5。原始媒体和项目保留不动。</source>
        <translation>
            <numerusform>This removes from the %n library in %1: render files %2, proxy media %3, optimized media %4, analysis files %5. Original media and projects stay.</numerusform>
            <numerusform>This removes from the %n libraries in %1: render files %2, proxy media %3, optimized media %4, analysis files %5. Original media and projects stay.</numerusform>
        </translation>
    </message>
    <message>
        <source>选择一个资源库</source>
        <translation>Select a library</translation>
    </message>
    <message>
        <source>在左侧选择一个硬盘或目录。</source>
        <translation>Pick a drive or folder on the left.</translation>
    </message>
</context>
<context>
    <name>DirectoryDialog</name>
    <message>
        <source>选择目录</source>
        <translation>Choose a Folder</translation>
    </message>
    <message>
        <source>选择</source>
        <translation>Choose</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>上一级</source>
        <translation>Up</translation>
    </message>
    <message>
        <source>输入路径后按回车</source>
        <translation>Type a path and press Return</translation>
    </message>
    <message>
        <source>路径</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>%1 不是可以打开的目录。</source>
        <translation>%1 is not a folder that can be opened.</translation>
    </message>
</context>
<context>
    <name>FailureReasons</name>
    <message>
        <source>Reached only through a link or another file system, not inside the location; left in place</source>
        <translation>Reached only through a link or another file system, not inside the location; left in place</translation>
    </message>
    <message>
        <source>Not the folder the scan found (moved or replaced since); left in place</source>
        <translation>Not the folder the scan found (moved or replaced since); left in place</translation>
    </message>
    <message>
        <source>Operation not permitted</source>
        <translation>Operation not permitted</translation>
    </message>
    <message>
        <source>No such file or directory</source>
        <translation>No such file or directory</translation>
    </message>
    <message>
        <source>Interrupted system call</source>
        <translation>Interrupted system call</translation>
    </message>
    <message>
        <source>Input/output error</source>
        <translation>Input/output error</translation>
    </message>
    <message>
        <source>No such device or address</source>
        <translation>No such device or address</translation>
    </message>
    <message>
        <source>Resource temporarily unavailable</source>
        <translation>Resource temporarily unavailable</translation>
    </message>
    <message>
        <source>Cannot allocate memory</source>
        <translation>Cannot allocate memory</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>Permission denied</translation>
    </message>
    <message>
        <source>Device or resource busy</source>
        <translation>Device or resource busy</translation>
    </message>
    <message>
        <source>File exists</source>
        <translation>File exists</translation>
    </message>
    <message>
        <source>Invalid cross-device link</source>
        <translation>Invalid cross-device link</translation>
    </message>
    <message>
        <source>No such device</source>
        <translation>No such device</translation>
    </message>
    <message>
        <source>Not a directory</source>
        <translation>Not a directory</translation>
    </message>
    <message>
        <source>Is a directory</source>
        <translation>Is a directory</translation>
    </message>
    <message>
        <source>Invalid argument</source>
        <translation>Invalid argument</translation>
    </message>
    <message>
        <source>Too many open files in system</source>
        <translation>Too many open files in system</translation>
    </message>
    <message>
        <source>Too many open files</source>
        <translation>Too many open files</translation>
    </message>
    <message>
        <source>Text file busy</source>
        <translation>Text file busy</translation>
    </message>
    <message>
        <source>No space left on device</source>
        <translation>No space left on device</translation>
    </message>
    <message>
        <source>Read-only file system</source>
        <translation>Read-only file system</translation>
    </message>
    <message>
        <source>File name too long</source>
        <translation>File name too long</translation>
    </message>
    <message>
        <source>Directory not empty</source>
        <translation>Directory not empty</translation>
    </message>
    <message>
        <source>Too many levels of symbolic links</source>
        <translation>Too many levels of symbolic links</translation>
    </message>
    <message>
        <source>Operation not supported</source>
        <translation>Operation not supported</translation>
    </message>
    <message>
        <source>Transport endpoint is not connected</source>
        <translation>Transport endpoint is not connected</translation>
    </message>
    <message>
        <source>Connection timed out</source>
        <translation>Connection timed out</translation>
    </message>
    <message>
        <source>Stale file handle</source>
        <translation>Stale file handle</translation>
    </message>
    <message>
        <source>Disk quota exceeded</source>
        <translation>Disk quota exceeded</translation>
    </message>
    <message>
        <source>Is a mount point; left in place</source>
        <translation>Is a mount point; left in place</translation>
    </message>
    <message>
        <source>Directory moved during removal; left in place</source>
        <translation>Directory moved during removal; left in place</translation>
    </message>
</context>
<context>
    <name>LibraryList</name>
    <message>
        <source>FCPX 资源库</source>
        <translation>FCPX Libraries</translation>
    </message>
    <message>
        <source>按名称或路径筛选</source>
        <translation>Filter by name or path</translation>
    </message>
    <message>
        <source>排序：</source>
        <translation>Sort:</translation>
    </message>
    <message>
        <source>当前顺序</source>
        <translation>Current order</translation>
    </message>
    <message>
        <source>降序</source>
        <translation>Descending</translation>
    </message>
    <message>
        <source>升序</source>
        <translation>Ascending</translation>
    </message>
</context>
<context>
    <name>LibraryRow</name>
    <message>
        <source>在访达中显示</source>
        <translation>Show in File Manager</translation>
    </message>
    <message>
        <source>打开资源库</source>
        <translation>Open Library</translation>
    </message>
    <message>
        <source>在文件管理器中显示</source>
        <translation>Show in File Manager</translation>
    </message>
</context>
<context>
    <name>LocationPanel</name>
    <message>
        <source>选择资源库所在硬盘或目录</source>
        <translation>Choose a Drive or Folder</translation>
    </message>
    <message>
        <source>刷新外置硬盘和用户目录列表</source>
        <translation>Refresh the list of external drives and user folders</translation>
    </message>
    <message>
        <source>外接硬盘</source>
        <translation>External Drives</translation>
    </message>
    <message>
        <source>用户目录</source>
        <translation>User Folders</translation>
    </message>
    <message>
        <source>正在检索 FCPX 资源库...</source>
        <translation>Searching for FCPX libraries...</translation>
    </message>
    <message>
        <source>选择其他FCPX工程目录</source>
        <translation>Choose Another Folder...</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>没有连接外接硬盘</source>
        <translation>No external drives connected</translation>
    </message>
</context>
<context>
    <name>Locations</name>
    <message>
        <source>主目录</source>
        <translation>Home</translation>
    </message>
    <message>
        <source>桌面</source>
        <translation>Desktop</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>Downloads</translation>
    </message>
    <message>
        <source>影片</source>
        <translation>Movies</translation>
    </message>
    <message>
        <source>文稿</source>
        <translation>Documents</translation>
    </message>
    <message>
        <source>图片</source>
        <translation>Pictures</translation>
    </message>
    <message>
        <source>视频</source>
        <translation>Videos</translation>
    </message>
</context>
<context>
    <name>MessageAlert</name>
    <message>
        <source>提示</source>
        <translation>Notice</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>ProgressSection</name>
    <message>
        <source>停止清理</source>
        <translation>Stop Cleaning</translation>
    </message>
</context>
<context>
    <name>ScanCommand</name>
    <message>
        <source>已扫描 %1 项 · 找到 %2 个资源库</source>
        <translation>Entries scanned: %1 · Libraries found: %2</translation>
    </message>
    <message>
        <source>位置不存在: %1</source>
        <translation>location does not exist: %1</translation>
    </message>
    <message>
        <source>无法访问位置: %1 (%2)</source>
        <translation>cannot access the location: %1 (%2)</translation>
    </message>
    <message>
        <source>位置不是目录: %1</source>
        <translation>location is not a directory: %1</translation>
    </message>
    <message>
        <source>无法读取位置: %1 (%2)</source>
        <translation>cannot read the location: %1 (%2)</translation>
    </message>
    <message>
        <source>未进入的挂载点: %1 (--cross-file-systems 可进入)</source>
        <translation>Mount points not entered: %1 (--cross-file-systems enters them)</translation>
    </message>
    <message>
        <source>未找到 Final Cut Pro 资源库。</source>
        <translation>No Final Cut Pro libraries found.</translation>
    </message>
    <message>
        <source>资源库</source>
        <translation>Library</translation>
    </message>
    <message>
        <source>总大小</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>路径</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>无法读取目录: %1 (%2)</source>
        <translation>cannot read the folder: %1 (%2)</translation>
    </message>
    <message>
        <source>列表无法写入标准输出: %1</source>
        <translation>the listing could not be written to standard output: %1</translation>
    </message>
</context>
<context>
    <name>StopOnCloseDialog</name>
    <message>
        <source>清理仍在进行。要停止清理并退出吗？</source>
        <translation>A cleaning is still running. Stop it and quit?</translation>
    </message>
    <message>
        <source>继续清理</source>
        <translation>Keep Cleaning</translation>
    </message>
    <message>
        <source>停止并退出</source>
        <translation>Stop and Quit</translation>
    </message>
    <message>
        <source>正在清理</source>
        <translation>Cleaning in Progress</translation>
    </message>
</context>
<context>
    <name>WebConsole</name>
    <message>
        <source>登录</source>
        <translation>Sign in</translation>
    </message>
    <message>
        <source>退出登录</source>
        <translation>Sign out</translation>
    </message>
    <message>
        <source>令牌</source>
        <translation>Token</translation>
    </message>
    <message>
        <source>这个令牌无效。</source>
        <translation>That token is not valid.</translation>
    </message>
    <message>
        <source>存储位置</source>
        <translation>Storage</translation>
    </message>
    <message>
        <source>资源库</source>
        <translation>Libraries</translation>
    </message>
    <message>
        <source>总大小</source>
        <translation>Total</translation>
    </message>
    <message>
        <source>可清理</source>
        <translation>Reclaimable</translation>
    </message>
    <message>
        <source>最后修改</source>
        <translation>Last modified</translation>
    </message>
    <message>
        <source>重新扫描</source>
        <translation>Scan again</translation>
    </message>
    <message>
        <source>正在扫描...</source>
        <translation>Scanning...</translation>
    </message>
    <message>
        <source>清理</source>
        <translation>Clean</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>清理记录</source>
        <translation>History</translation>
    </message>
    <message>
        <source>这个位置还没有扫描过。</source>
        <translation>This location has not been scanned yet.</translation>
    </message>
    <message>
        <source>输入服务器管理员给你的令牌。</source>
        <translation>Enter the token the server&apos;s administrator gave you.</translation>
    </message>
    <message>
        <source>扫描于 %1</source>
        <translation>Scanned %1</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>还没有清理记录。</source>
        <translation>No cleanings yet.</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>取消选择</source>
        <translation>Select none</translation>
    </message>
    <message>
        <source>未修改天数</source>
        <translation>Days untouched</translation>
    </message>
    <message>
        <source>选择未修改的资源库</source>
        <translation>Select untouched libraries</translation>
    </message>
    <message>
        <source>请先选择资源库。</source>
        <translation>Select a library first.</translation>
    </message>
    <message>
        <source>没有符合筛选条件的资源库。</source>
        <translation>No library matches the filter.</translation>
    </message>
    <message>
        <source>这个令牌只能查看大小，不能清理。</source>
        <translation>This token may see sizes but not clean.</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>Language</translation>
    </message>
    <message>
        <source>确认清理</source>
        <translation>Confirm cleaning</translation>
    </message>
    <message>
        <source>原始媒体和项目保留不动。</source>
        <translation>Original media and projects stay.</translation>
    </message>
    <message>
        <source>清理结果</source>
        <translation>Cleaning report</translation>
    </message>
    <message>
        <source>清理完成，没有失败。</source>
        <translation>The cleaning finished with no failures.</translation>
    </message>
    <message>
        <source>正在等待同一资源库的另一次清理结束...</source>
        <translation>Waiting for another cleaning of the same libraries to end...</translation>
    </message>
    <message>
        <source>与服务器的连接已断开，正在重新连接...</source>
        <translation>The connection to the server was lost; reconnecting...</translation>
    </message>
    <message>
        <source>请求失败：%1</source>
        <translation>The request failed: %1</translation>
    </message>
    <message>
        <source>已删除</source>
        <translation>Removed</translation>
    </message>
    <message>
        <source>无法删除</source>
        <translation>Not removed</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>When</translation>
    </message>
    <message>
        <source>操作者</source>
        <translation>By</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>Kinds</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>Size</translation>
    </message>
    <message>
        <source>已停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>路径</source>
        <translation>Path</translation>
    </message>
    <message>
        <source>选择 %1</source>
        <translation>Select %1</translation>
    </message>
    <message numerus="yes">
        <source>已选择 %n 个资源库</source>
        <translation>
            <numerusform>%n library selected</numerusform>
            <numerusform>%n libraries selected</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>将从 %1 中的 %n 个资源库删除：</source>
        <translation>
            <numerusform>This removes from the %n library in %1:</numerusform>
            <numerusform>This removes from the %n libraries in %1:</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>已删除 %n 项，共 %1。</source>
        <translation>
            <numerusform>%n entry removed, %1.</numerusform>
            <numerusform>%n entries removed, %1 in all.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>%n entry could not be removed: %1: %2</numerusform>
            <numerusform>%n entries could not be removed. The first was %1: %2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 个资源库</source>
        <translation>
            <numerusform>%n library</numerusform>
            <numerusform>%n libraries</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>还有 %n 项未列出。</source>
        <translation>
            <numerusform>%n more entry not listed.</numerusform>
            <numerusform>%n more entries not listed.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 个文件夹无法读取，大小未计入。第一个是 %1：%2</source>
        <translation>
            <numerusform>%n folder could not be read, so its size is not counted: %1: %2</numerusform>
            <numerusform>%n folders could not be read, so their sizes are not counted. The first is %1: %2</numerusform>
        </translation>
    </message>
</context>
</TS>
