<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="zh_CN">
<context>
    <name>ActionPanel</name>
    <message>
        <source>清理渲染缓存</source>
        <translation>清理渲染缓存</translation>
    </message>
    <message>
        <source>清理代理媒体</source>
        <translation>清理代理媒体</translation>
    </message>
    <message>
        <source>清理优化媒体</source>
        <translation>清理优化媒体</translation>
    </message>
    <message>
        <source>清理分析缓存</source>
        <translation>清理分析缓存</translation>
    </message>
    <message>
        <source>一键清理资源库</source>
        <translation>一键清理资源库</translation>
    </message>
    <message>
        <source>一键清理硬盘</source>
        <translation>一键清理硬盘</translation>
    </message>
</context>
<context>
    <name>BundleListModel</name>
    <message>
        <source>总大小 %1；%2；%3；%4；%5</source>
        <translation>总大小 %1；%2；%3；%4；%5</translation>
    </message>
    <message>
        <source>%1 (%2)</source>
        <translation>%1 (%2)</translation>
    </message>
</context>
<context>
    <name>BundleSortFilterModel</name>
    <message>
        <source>扫描顺序</source>
        <translation>扫描顺序</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>名称</translation>
    </message>
    <message>
        <source>总大小</source>
        <translation>总大小</translation>
    </message>
    <message>
        <source>可清理大小</source>
        <translation>可清理大小</translation>
    </message>
    <message numerus="yes">
        <source>%1 / %n 个资源库</source>
        <translation>
            <numerusform>%1 / %n 个资源库</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>CacheCategory</name>
    <message>
        <source>缓存大小: %1</source>
        <translation>缓存大小: %1</translation>
    </message>
    <message>
        <source>缓存大小</source>
        <translation>缓存大小</translation>
    </message>
    <message>
        <source>正在清理时间线渲染缓存...</source>
        <translation>正在清理时间线渲染缓存...</translation>
    </message>
    <message>
        <source>已清理时间线渲染缓存。</source>
        <translation>已清理时间线渲染缓存。</translation>
    </message>
    <message>
        <source>时间线渲染缓存中没有需要清理的文件。</source>
        <translation>时间线渲染缓存中没有需要清理的文件。</translation>
    </message>
    <message numerus="yes">
        <source>时间线渲染缓存中有 %n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>时间线渲染缓存中有 %n 项无法删除。第一个无法删除的是 %1：%2</numerusform>
        </translation>
    </message>
    <message>
        <source>代理媒体: %1</source>
        <translation>代理媒体: %1</translation>
    </message>
    <message>
        <source>代理媒体</source>
        <translation>代理媒体</translation>
    </message>
    <message>
        <source>正在清理代理媒体...</source>
        <translation>正在清理代理媒体...</translation>
    </message>
    <message>
        <source>已清理代理媒体。</source>
        <translation>已清理代理媒体。</translation>
    </message>
    <message>
        <source>代理媒体中没有需要清理的文件。</source>
        <translation>代理媒体中没有需要清理的文件。</translation>
    </message>
    <message numerus="yes">
        <source>代理媒体中有 %n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>代理媒体中有 %n 项无法删除。第一个无法删除的是 %1：%2</numerusform>
        </translation>
    </message>
    <message>
        <source>优化媒体: %1</source>
        <translation>优化媒体: %1</translation>
    </message>
    <message>
        <source>优化媒体</source>
        <translation>优化媒体</translation>
    </message>
    <message>
        <source>正在清理优化媒体...</source>
        <translation>正在清理优化媒体...</translation>
    </message>
    <message>
        <source>已清理优化媒体。</source>
        <translation>已清理优化媒体。</translation>
    </message>
    <message>
        <source>优化媒体中没有需要清理的文件。</source>
        <translation>优化媒体中没有需要清理的文件。</translation>
    </message>
    <message numerus="yes">
        <source>优化媒体中有 %n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>优化媒体中有 %n 项无法删除。第一个无法删除的是 %1：%2</numerusform>
        </translation>
    </message>
    <message>
        <source>媒体分析缓存: %1</source>
        <translation>媒体分析缓存: %1</translation>
    </message>
    <message>
        <source>媒体分析缓存</source>
        <translation>媒体分析缓存</translation>
    </message>
    <message>
        <source>正在清理媒体分析缓存...</source>
        <translation>正在清理媒体分析缓存...</translation>
    </message>
    <message>
        <source>已清理媒体分析缓存。</source>
        <translation>已清理媒体分析缓存。</translation>
    </message>
    <message>
        <source>媒体分析缓存中没有需要清理的文件。</source>
        <translation>媒体分析缓存中没有需要清理的文件。</translation>
    </message>
    <message numerus="yes">
        <source>媒体分析缓存中有 %n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>媒体分析缓存中有 %n 项无法删除。第一个无法删除的是 %1：%2</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>CleanCommand</name>
    <message>
        <source>the log could not be written to standard output: %1</source>
        <translation>日志无法写入标准输出: %1</translation>
    </message>
    <message>
        <source>Stopped by signal %1 before the run was complete</source>
        <translation>运行在完成前被信号 %1 停止</translation>
    </message>
    <message>
        <source>no location given</source>
        <translation>未指定位置</translation>
    </message>
    <message>
        <source>location is not a directory: %1</source>
        <translation>位置不是目录: %1</translation>
    </message>
    <message>
        <source>Mount points not entered: %1 (--cross-file-systems enters them)</source>
        <translation>未进入的挂载点: %1 (--cross-file-systems 可进入)</translation>
    </message>
    <message>
        <source>Libraries: %1</source>
        <translation>资源库: %1</translation>
    </message>
    <message>
        <source>%1 libraries skipped as recently modified</source>
        <translation>%1 个资源库因近期有修改而跳过</translation>
    </message>
    <message>
        <source>Libraries gone since the scan (removed by someone else): %1</source>
        <translation>扫描后已不存在的资源库（已被他人删除）: %1</translation>
    </message>
    <message>
        <source>Entries to remove: %1</source>
        <translation>待删除条目: %1</translation>
    </message>
    <message>
        <source>Entries failed: %1</source>
        <translation>删除失败条目: %1</translation>
    </message>
    <message>
        <source>Bytes to reclaim: %1 (%2)</source>
        <translation>可回收字节: %1 (%2)</translation>
    </message>
    <message>
        <source>Entries removed: %1</source>
        <translation>已删除条目: %1</translation>
    </message>
    <message>
        <source>Bytes reclaimed: %1 (%2)</source>
        <translation>已回收字节: %1 (%2)</translation>
    </message>
    <message>
        <source>not a library folder (a directory whose name ends in .fcpbundle, not a link): %1</source>
        <translation>不是资源库文件夹（名称以 .fcpbundle 结尾的目录，且不是链接）: %1</translation>
    </message>
    <message>
        <source>location cannot be read: %1</source>
        <translation>无法读取位置: %1</translation>
    </message>
    <message>
        <source>working folder cannot be read: %1</source>
        <translation>无法读取当前工作目录: %1</translation>
    </message>
    <message>
        <source>library is not inside the location: %1</source>
        <translation>资源库不在该位置内: %1</translation>
    </message>
    <message>
        <source>library is outside the location (through &quot;..&quot; or a link): %1</source>
        <translation>资源库在该位置之外（经由 &quot;..&quot; 或链接）: %1</translation>
    </message>
    <message>
        <source>library is outside the location (through &quot;..&quot;, a link or another file system): %1</source>
        <translation>资源库在该位置之外（经由 &quot;..&quot;、链接或其他文件系统）: %1</translation>
    </message>
    <message>
        <source>library cannot be read: %1</source>
        <translation>无法读取资源库: %1</translation>
    </message>
    <message>
        <source>Disk space freed: %1 (%2)</source>
        <translation>已释放磁盘空间: %1 (%2)</translation>
    </message>
</context>
<context>
    <name>ConfirmCleanDialog</name>
    <message>
        <source>一键清理硬盘</source>
        <translation>一键清理硬盘</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>清理</source>
        <translation>清理</translation>
    </message>
</context>
<context>
    <name>ContentView</name>
    <message numerus="yes">
        <source>%1 · %n 个资源库 · 共 %2 · 可清理 %3</source>
        <translation>
            <numerusform>%1 · %n 个资源库 · 共 %2 · 可清理 %3</numerusform>
        </translation>
    </message>
    <message>
        <source>%1 中没有 Final Cut Pro 资源库。</source>
        <translation>%1 中没有 Final Cut Pro 资源库。</translation>
    </message>
    <message>
        <source>已扫描 %1 项 · 找到 %2 个资源库</source>
        <translation>已扫描 %1 项 · 找到 %2 个资源库</translation>
    </message>
    <message>
        <source>无法在文件管理器中显示 %1。</source>
        <translation>无法在文件管理器中显示 %1。</translation>
    </message>
    <message>
        <source>无法打开 %1。</source>
        <translation>无法打开 %1。</translation>
    </message>
    <message numerus="yes">
        <source>清理已停止。停止前已删除 %n 项。</source>
        <translation>
            <numerusform>清理已停止。停止前已删除 %n 项。</numerusform>
        </translation>
    </message>
    <message>
        <source>正在停止清理...</source>
        <translation>正在停止清理...</translation>
    </message>
    <message>
        <source>正在清理资源库...</source>
        <translation>正在清理资源库...</translation>
    </message>
    <message numerus="yes">
        <source>选定的资源库中有 %n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>选定的资源库中有 %n 项无法删除。第一个无法删除的是 %1：%2</numerusform>
        </translation>
    </message>
    <message>
        <source>已清理选定的资源库。</source>
        <translation>已清理选定的资源库。</translation>
    </message>
    <message>
        <source>正在清理硬盘上的所有资源库...</source>
        <translation>正在清理硬盘上的所有资源库...</translation>
    </message>
    <message numerus="yes">
        <source>将从 %1 中的 %n 个资源库删除：时间线渲染缓存 %2、代理媒体 %3、优化媒体 %4、媒体分析缓存 %5。原始媒体和项目保留不动。</source>
        <translation>
            <numerusform>将从 %1 中的 %n 个资源库删除：时间线渲染缓存 %2、代理媒体 %3、优化媒体 %4、媒体分析缓存 %5。原始媒体和项目保留不动。</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>选定目录中有 %n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>选定目录中有 %n 项无法删除。第一个无法删除的是 %1：%2</numerusform>
        </translation>
    </message>
    <message>
        <source>已清理选定目录中所有资源库的缓存、代理媒体、优化媒体和媒体分析缓存。</source>
        <translation>已清理选定目录中所有资源库的缓存、代理媒体、优化媒体和媒体分析缓存。</translation>
    </message>
    <message>
        <source>正在清理... %1%</source>
        <translation>正在清理... %1%</translation>
    </message>
    <message>
        <source>所选目录不存在：%1</source>
        <translation>所选目录不存在：%1</translation>
    </message>
    <message>
        <source>所选位置不是目录：%1</source>
        <translation>所选位置不是目录：%1</translation>
    </message>
    <message>
        <source>无法读取所选目录：%1</source>
        <translation>无法读取所选目录：%1</translation>
    </message>
    <message>
        <source>选择一个资源库</source>
        <translation>选择一个资源库</translation>
    </message>
    <message>
        <source>在左侧选择一个硬盘或目录。</source>
        <translation>在左侧选择一个硬盘或目录。</translation>
    </message>
</context>
<context>
    <name>DirectoryDialog</name>
    <message>
        <source>选择目录</source>
        <translation>选择目录</translation>
    </message>
    <message>
        <source>上一级</source>
        <translation>上一级</translation>
    </message>
    <message>
        <source>输入路径后按回车</source>
        <translation>输入路径后按回车</translation>
    </message>
    <message>
        <source>路径</source>
        <translation>路径</translation>
    </message>
    <message>
        <source>%1 不是可以打开的目录。</source>
        <translation>%1 不是可以打开的目录。</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>选择</source>
        <translation>选择</translation>
    </message>
</context>
<context>
    <name>FailureReasons</name>
    <message>
        <source>Reached only through a link or another file system, not inside the location; left in place</source>
        <translation>只能经由链接或其他文件系统到达，不在所选位置之内；已保留</translation>
    </message>
    <message>
        <source>Not the folder the scan found (moved or replaced since); left in place</source>
        <translation>不是扫描时找到的文件夹（之后被移动或替换）；已保留</translation>
    </message>
    <message>
        <source>Operation not permitted</source>
        <translation>不允许的操作</translation>
    </message>
    <message>
        <source>No such file or directory</source>
        <translation>没有那个文件或目录</translation>
    </message>
    <message>
        <source>Interrupted system call</source>
        <translation>被中断的系统调用</translation>
    </message>
    <message>
        <source>Input/output error</source>
        <translation>输入/输出错误</translation>
    </message>
    <message>
        <source>No such device or address</source>
        <translation>没有那个设备或地址</translation>
    </message>
    <message>
        <source>Resource temporarily unavailable</source>
        <translation>资源暂时不可用</translation>
    </message>
    <message>
        <source>Cannot allocate memory</source>
        <translation>无法分配内存</translation>
    </message>
    <message>
        <source>Permission denied</source>
        <translation>权限不够</translation>
    </message>
    <message>
        <source>Device or resource busy</source>
        <translation>设备或资源忙</translation>
    </message>
    <message>
        <source>File exists</source>
        <translation>文件已存在</translation>
    </message>
    <message>
        <source>Invalid cross-device link</source>
        <translation>无效的跨设备链接</translation>
    </message>
    <message>
        <source>No such device</source>
        <translation>没有那个设备</translation>
    </message>
    <message>
        <source>Not a directory</source>
        <translation>不是目录</translation>
    </message>
    <message>
        <source>Is a directory</source>
        <translation>是一个目录</translation>
    </message>
    <message>
        <source>Invalid argument</source>
        <translation>无效的参数</translation>
    </message>
    <message>
        <source>Too many open files in system</source>
        <translation>系统中打开的文件过多</translation>
    </message>
    <message>
        <source>Too many open files</source>
        <translation>打开的文件过多</translation>
    </message>
    <message>
        <source>Text file busy</source>
        <translation>文本文件忙</translation>
    </message>
    <message>
        <source>No space left on device</source>
        <translation>设备上没有空间</translation>
    </message>
    <message>
        <source>Read-only file system</source>
        <translation>只读文件系统</translation>
    </message>
    <message>
        <source>File name too long</source>
        <translation>文件名过长</translation>
    </message>
    <message>
        <source>Directory not empty</source>
        <translation>目录非空</translation>
    </message>
    <message>
        <source>Too many levels of symbolic links</source>
        <translation>符号链接的层数过多</translation>
    </message>
    <message>
        <source>Operation not supported</source>
        <translation>不支持的操作</translation>
    </message>
    <message>
        <source>Transport endpoint is not connected</source>
        <translation>传输端点尚未连接</translation>
    </message>
    <message>
        <source>Connection timed out</source>
        <translation>连接超时</translation>
    </message>
    <message>
        <source>Stale file handle</source>
        <translation>失效的文件句柄</translation>
    </message>
    <message>
        <source>Disk quota exceeded</source>
        <translation>超出磁盘配额</translation>
    </message>
    <message>
        <source>Is a mount point; left in place</source>
        <translation>是一个挂载点；已保留</translation>
    </message>
    <message>
        <source>Directory moved during removal; left in place</source>
        <translation>删除期间目录被移动；已保留</translation>
    </message>
</context>
<context>
    <name>LibraryList</name>
    <message>
        <source>FCPX 资源库</source>
        <translation>FCPX 资源库</translation>
    </message>
    <message>
        <source>按名称或路径筛选</source>
        <translation>按名称或路径筛选</translation>
    </message>
    <message>
        <source>排序：</source>
        <translation>排序：</translation>
    </message>
    <message>
        <source>当前顺序</source>
        <translation>当前顺序</translation>
    </message>
    <message>
        <source>降序</source>
        <translation>降序</translation>
    </message>
    <message>
        <source>升序</source>
        <translation>升序</translation>
    </message>
</context>
<context>
    <name>LibraryRow</name>
    <message>
        <source>在访达中显示</source>
        <translation>在访达中显示</translation>
    </message>
    <message>
        <source>在文件管理器中显示</source>
        <translation>在文件管理器中显示</translation>
    </message>
    <message>
        <source>打开资源库</source>
        <translation>打开资源库</translation>
    </message>
</context>
<context>
    <name>LocationPanel</name>
    <message>
        <source>选择资源库所在硬盘或目录</source>
        <translation>选择资源库所在硬盘或目录</translation>
    </message>
    <message>
        <source>刷新外置硬盘和用户目录列表</source>
        <translation>刷新外置硬盘和用户目录列表</translation>
    </message>
    <message>
        <source>外接硬盘</source>
        <translation>外接硬盘</translation>
    </message>
    <message>
        <source>用户目录</source>
        <translation>用户目录</translation>
    </message>
    <message>
        <source>正在检索 FCPX 资源库...</source>
        <translation>正在检索 FCPX 资源库...</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>选择其他FCPX工程目录</source>
        <translation>选择其他FCPX工程目录</translation>
    </message>
    <message>
        <source>没有连接外接硬盘</source>
        <translation>没有连接外接硬盘</translation>
    </message>
</context>
<context>
    <name>Locations</name>
    <message>
        <source>主目录</source>
        <translation>主目录</translation>
    </message>
    <message>
        <source>桌面</source>
        <translation>桌面</translation>
    </message>
    <message>
        <source>下载</source>
        <translation>下载</translation>
    </message>
    <message>
        <source>影片</source>
        <translation>影片</translation>
    </message>
    <message>
        <source>文稿</source>
        <translation>文稿</translation>
    </message>
    <message>
        <source>图片</source>
        <translation>图片</translation>
    </message>
    <message>
        <source>视频</source>
        <translation>视频</translation>
    </message>
</context>
<context>
    <name>MessageAlert</name>
    <message>
        <source>提示</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>确定</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>错误</translation>
    </message>
</context>
<context>
    <name>ProgressSection</name>
    <message>
        <source>停止清理</source>
        <translation>停止清理</translation>
    </message>
</context>
<context>
    <name>ScanCommand</name>
    <message>
        <source>已扫描 %1 项 · 找到 %2 个资源库</source>
        <translation>已扫描 %1 项 · 找到 %2 个资源库</translation>
    </message>
    <message>
        <source>位置不存在: %1</source>
        <translation>位置不存在: %1</translation>
    </message>
    <message>
        <source>无法访问位置: %1 (%2)</source>
        <translation>无法访问位置: %1 (%2)</translation>
    </message>
    <message>
        <source>位置不是目录: %1</source>
        <translation>位置不是目录: %1</translation>
    </message>
    <message>
        <source>无法读取位置: %1 (%2)</source>
        <translation>无法读取位置: %1 (%2)</translation>
    </message>
    <message>
        <source>无法读取目录: %1 (%2)</source>
        <translation>无法读取目录: %1 (%2)</translation>
    </message>
    <message>
        <source>未进入的挂载点: %1 (--cross-file-systems 可进入)</source>
        <translation>未进入的挂载点: %1 (--cross-file-systems 可进入)</translation>
    </message>
    <message>
        <source>列表无法写入标准输出: %1</source>
        <translation>列表无法写入标准输出: %1</translation>
    </message>
    <message>
        <source>未找到 Final Cut Pro 资源库。</source>
        <translation>未找到 Final Cut Pro 资源库。</translation>
    </message>
    <message>
        <source>资源库</source>
        <translation>资源库</translation>
    </message>
    <message>
        <source>总大小</source>
        <translation>总大小</translation>
    </message>
    <message>
        <source>路径</source>
        <translation>路径</translation>
    </message>
</context>
<context>
    <name>StopOnCloseDialog</name>
    <message>
        <source>清理仍在进行。要停止清理并退出吗？</source>
        <translation>清理仍在进行。要停止清理并退出吗？</translation>
    </message>
    <message>
        <source>继续清理</source>
        <translation>继续清理</translation>
    </message>
    <message>
        <source>停止并退出</source>
        <translation>停止并退出</translation>
    </message>
    <message>
        <source>正在清理</source>
        <translation>正在清理</translation>
    </message>
</context>
<context>
    <name>WebConsole</name>
    <message>
        <source>登录</source>
        <translation>登录</translation>
    </message>
    <message>
        <source>退出登录</source>
        <translation>退出登录</translation>
    </message>
    <message>
        <source>令牌</source>
        <translation>令牌</translation>
    </message>
    <message>
        <source>这个令牌无效。</source>
        <translation>这个令牌无效。</translation>
    </message>
    <message>
        <source>存储位置</source>
        <translation>存储位置</translation>
    </message>
    <message>
        <source>资源库</source>
        <translation>资源库</translation>
    </message>
    <message>
        <source>总大小</source>
        <translation>总大小</translation>
    </message>
    <message>
        <source>可清理</source>
        <translation>可清理</translation>
    </message>
    <message>
        <source>最后修改</source>
        <translation>最后修改</translation>
    </message>
    <message>
        <source>重新扫描</source>
        <translation>重新扫描</translation>
    </message>
    <message>
        <source>正在扫描...</source>
        <translation>正在扫描...</translation>
    </message>
    <message>
        <source>清理</source>
        <translation>清理</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>清理记录</source>
        <translation>清理记录</translation>
    </message>
    <message>
        <source>这个位置还没有扫描过。</source>
        <translation>这个位置还没有扫描过。</translation>
    </message>
    <message>
        <source>输入服务器管理员给你的令牌。</source>
        <translation>输入服务器管理员给你的令牌。</translation>
    </message>
    <message>
        <source>扫描于 %1</source>
        <translation>扫描于 %1</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>还没有清理记录。</source>
        <translation>还没有清理记录。</translation>
    </message>
    <message>
        <source>全选</source>
        <translation>全选</translation>
    </message>
    <message>
        <source>取消选择</source>
        <translation>取消选择</translation>
    </message>
    <message>
        <source>未修改天数</source>
        <translation>未修改天数</translation>
    </message>
    <message>
        <source>选择未修改的资源库</source>
        <translation>选择未修改的资源库</translation>
    </message>
    <message>
        <source>请先选择资源库。</source>
        <translation>请先选择资源库。</translation>
    </message>
    <message>
        <source>没有符合筛选条件的资源库。</source>
        <translation>没有符合筛选条件的资源库。</translation>
    </message>
    <message>
        <source>这个令牌只能查看大小，不能清理。</source>
        <translation>这个令牌只能查看大小，不能清理。</translation>
    </message>
    <message>
        <source>语言</source>
        <translation>语言</translation>
    </message>
    <message>
        <source>确认清理</source>
        <translation>确认清理</translation>
    </message>
    <message>
        <source>原始媒体和项目保留不动。</source>
        <translation>原始媒体和项目保留不动。</translation>
    </message>
    <message>
        <source>清理结果</source>
        <translation>清理结果</translation>
    </message>
    <message>
        <source>清理完成，没有失败。</source>
        <translation>清理完成，没有失败。</translation>
    </message>
    <message>
        <source>正在等待同一资源库的另一次清理结束...</source>
        <translation>正在等待同一资源库的另一次清理结束...</translation>
    </message>
    <message>
        <source>与服务器的连接已断开，正在重新连接...</source>
        <translation>与服务器的连接已断开，正在重新连接...</translation>
    </message>
    <message>
        <source>请求失败：%1</source>
        <translation>请求失败：%1</translation>
    </message>
    <message>
        <source>已删除</source>
        <translation>已删除</translation>
    </message>
    <message>
        <source>无法删除</source>
        <translation>无法删除</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>时间</translation>
    </message>
    <message>
        <source>操作者</source>
        <translation>操作者</translation>
    </message>
    <message>
        <source>类型</source>
        <translation>类型</translation>
    </message>
    <message>
        <source>失败</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>大小</source>
        <translation>大小</translation>
    </message>
    <message>
        <source>已停止</source>
        <translation>已停止</translation>
    </message>
    <message>
        <source>路径</source>
        <translation>路径</translation>
    </message>
    <message>
        <source>选择 %1</source>
        <translation>选择 %1</translation>
    </message>
    <message numerus="yes">
        <source>已选择 %n 个资源库</source>
        <translation>
            <numerusform>已选择 %n 个资源库</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>将从 %1 中的 %n 个资源库删除：</source>
        <translation>
            <numerusform>将从 %1 中的 %n 个资源库删除：</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>已删除 %n 项，共 %1。</source>
        <translation>
            <numerusform>已删除 %n 项，共 %1。</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 项无法删除。第一个无法删除的是 %1：%2</source>
        <translation>
            <numerusform>%n 项无法删除。第一个无法删除的是 %1：%2</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 个资源库</source>
        <translation>
            <numerusform>%n 个资源库</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>还有 %n 项未列出。</source>
        <translation>
            <numerusform>还有 %n 项未列出。</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n 个文件夹无法读取，大小未计入。第一个是 %1：%2</source>
        <translation>
            <numerusform>%n 个文件夹无法读取，大小未计入。第一个是 %1：%2</numerusform>
        </translation>
    </message>
</context>
</TS>
