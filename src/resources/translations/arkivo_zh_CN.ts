<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN" sourcelanguage="en">
<context>
    <name>KLocalBackupSettingsDlg</name>
    <message>
        <source>Confirm Change Backup Location</source>
        <translation>确认更改备份位置</translation>
    </message>
    <message>
        <source>Are you sure you want to change the file backup location to %1? Subsequent new backup files will be saved to this location, and original backup files will be migrated the next time Zentri starts.</source>
        <translation>确定要将备份位置更改为 %1 吗？此后新的备份文件将保存到该位置，原有的备份文件将在 Zentri 下次启动时迁移过去。</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Invalid location selection</source>
        <translation>位置选择无效</translation>
    </message>
    <message>
        <source>Path contains invalid characters</source>
        <translation>路径包含非法字符</translation>
    </message>
    <message>
        <source>The path name cannot contain invalid characters
 &quot;%1&quot;,please select again.</source>
        <translation>路径名称不能包含以下非法字符：
 %1
请重新选择。</translation>
    </message>
    <message>
        <source>Reselect directory</source>
        <translation>请重新选择目录</translation>
    </message>
    <message>
        <source>The selected path is too long. Please reselect.</source>
        <translation>所选路径过长，请重新选择。</translation>
    </message>
    <message>
        <source>Path unavailable</source>
        <translation>路径不可用</translation>
    </message>
    <message>
        <source>The selected path is unavailable. Please confirm it exists and has write permission.</source>
        <translation>所选路径不可用，请确认该路径存在且具有写入权限。</translation>
    </message>
    <message>
        <source>The backup location and the installation location cannot contain each other. Please modify or reselect the location.</source>
        <translation>备份位置与安装位置不能相互包含，请修改或重新选择位置。</translation>
    </message>
    <message>
        <source>The backup location and the cloud document cache location cannot contain each other. Please modify or reselect the location.</source>
        <translation>备份位置与云文档缓存位置不能相互包含，请修改或重新选择位置。</translation>
    </message>
    <message>
        <source>The selected location cannot be inside the current backup location. Please modify or reselect the location.</source>
        <translation>所选位置不能位于当前备份位置之内，请修改或重新选择位置。</translation>
    </message>
    <message>
        <source>Failed to create the selected directory. Please confirm you have sufficient permissions.</source>
        <translation>无法创建所选目录，请确认您拥有足够的权限。</translation>
    </message>
    <message>
        <source>The selected path does not have write permission. Please select another directory.</source>
        <translation>所选路径没有写入权限，请选择其他目录。</translation>
    </message>
    <message>
        <source>The selected path does not have read permission. Please select another directory.</source>
        <translation>所选路径没有读取权限，请选择其他目录。</translation>
    </message>
    <message>
        <source>Data verification failed on the selected path. Please select another directory.</source>
        <translation>所选路径数据校验失败，请选择其他目录。</translation>
    </message>
    <message>
        <source>The selected path does not have delete permission. Please select another directory.</source>
        <translation>所选路径没有删除权限，请选择其他目录。</translation>
    </message>
    <message>
        <source>confirm</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>The settings will take effect the next time you start Zentri</source>
        <translation>设置将在下次启动 Zentri 时生效</translation>
    </message>
    <message>
        <source>The local backup configuration has been changed to `Incremental Backup`, this setting will take effect after restarting Zentri.</source>
        <translation>本地备份方式已更改为“增量备份”，该设置将在重启 Zentri 后生效。</translation>
    </message>
    <message>
        <source>Understood</source>
        <translation>我知道了</translation>
    </message>
    <message>
        <source>Are you sure to disable backup</source>
        <translation>确定要关闭备份吗？</translation>
    </message>
    <message>
        <source>After turning off the backup, unsaved documents are at risk of losing data in the event of a power outage, shutdown, or unexpected shutdown of Zentri. It is recommended to turn on the backup.</source>
        <translation>关闭备份后，如遇断电、关机或 Zentri 意外退出，未保存的文档可能会丢失数据。建议保持备份开启。</translation>
    </message>
    <message>
        <source>Keep enabled.</source>
        <translation>保持开启</translation>
    </message>
    <message>
        <source>confirm the shutdown.</source>
        <translation>确认关闭</translation>
    </message>
    <message>
        <source>Local backup settings</source>
        <translation>本地备份设置</translation>
    </message>
    <message>
        <source>Smart backup</source>
        <translation>智能备份</translation>
    </message>
    <message>
        <source>Adjust backup frequency based on document size and save time. If the file is small, it will take a short time to save, and the backup frequency will be high; if the file is large, it will take a long time to save, and the backup interval will be long.</source>
        <translation>根据文档大小和保存耗时调整备份频率：文件较小、保存较快时，备份频率较高；文件较大、保存较慢时，备份间隔较长。</translation>
    </message>
    <message>
        <source>Timed backup</source>
        <translation>定时备份</translation>
    </message>
    <message>
        <source>After the document is modified, a backup is automatically generated when the following interval is reached.</source>
        <translation>文档修改后，到达以下时间间隔时自动生成备份。</translation>
    </message>
    <message>
        <source>Increment backup</source>
        <translation>增量备份</translation>
    </message>
    <message>
        <source>Real-time recording of steps taken on documents, and quick replay of these steps when reading backups. When this method is enabled, it takes effect after restarting Zentri.</source>
        <translation>实时记录对文档的操作步骤，读取备份时可快速回放这些步骤。启用此方式后，需重启 Zentri 才能生效。</translation>
    </message>
    <message>
        <source>Close backup</source>
        <translation>关闭备份</translation>
    </message>
    <message>
        <source>Backup method</source>
        <translation>备份方式</translation>
    </message>
    <message>
        <source>Retention period</source>
        <translation>保留期限</translation>
    </message>
    <message>
        <source>Keep only the last</source>
        <translation>仅保留最近</translation>
    </message>
    <message>
        <source>days</source>
        <translation>天</translation>
    </message>
    <message>
        <source>(Range %1-%2)</source>
        <translation>（范围 %1-%2）</translation>
    </message>
    <message>
        <source>Backup location</source>
        <translation>备份位置</translation>
    </message>
    <message>
        <source>Change location</source>
        <translation>更改位置</translation>
    </message>
</context>
<context>
    <name>KStyleMessageBox</name>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>KTimedBackupEditGroup</name>
    <message>
        <source>Time interval of</source>
        <translation>每隔</translation>
    </message>
    <message numerus="yes">
        <source>hours</source>
        <translation>
            <numerusform>小时</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>minutes (less than 12 hours)</source>
        <translation>
            <numerusform>分钟（小于 12 小时）</numerusform>
        </translation>
    </message>
</context>
</TS>
