<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="en">
<context>
    <name>KLocalBackupSettingsDlg</name>
    <message>
        <source>Confirm Change Backup Location</source>
        <translation>Change the backup location?</translation>
    </message>
    <message>
        <source>Are you sure you want to change the file backup location to %1? Subsequent new backup files will be saved to this location, and original backup files will be migrated the next time Zentri starts.</source>
        <translation>New backups will be saved in %1. The backups made so far move there the next time Zentri starts.</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>Invalid location selection</source>
        <translation>Choose another location</translation>
    </message>
    <message>
        <source>Path contains invalid characters</source>
        <translation>The path contains characters that are not allowed</translation>
    </message>
    <message>
        <source>The path name cannot contain invalid characters
 &quot;%1&quot;,please select again.</source>
        <translation>A folder path cannot contain any of these characters:
 %1
Please choose another folder.</translation>
    </message>
    <message>
        <source>Reselect directory</source>
        <translation>Choose another folder</translation>
    </message>
    <message>
        <source>The selected path is too long. Please reselect.</source>
        <translation>The path of the selected folder is too long. Please choose another folder.</translation>
    </message>
    <message>
        <source>Path unavailable</source>
        <translation>Folder not available</translation>
    </message>
    <message>
        <source>The selected path is unavailable. Please confirm it exists and has write permission.</source>
        <translation>The selected folder cannot be used. Check that it exists and that you can write to it.</translation>
    </message>
    <message>
        <source>The backup location and the installation location cannot contain each other. Please modify or reselect the location.</source>
        <translation>Backups cannot be kept in Zentri&apos;s installation folder, inside it, or in a folder that contains it. Please choose another location.</translation>
    </message>
    <message>
        <source>The backup location and the cloud document cache location cannot contain each other. Please modify or reselect the location.</source>
        <translation>Backups cannot be kept in the cache folder of cloud documents, inside it, or in a folder that contains it. Please choose another location.</translation>
    </message>
    <message>
        <source>The selected location cannot be inside the current backup location. Please modify or reselect the location.</source>
        <translation>The new location cannot be the current backup folder or a folder inside it. Please choose another location.</translation>
    </message>
    <message>
        <source>Failed to create the selected directory. Please confirm you have sufficient permissions.</source>
        <translation>The folder could not be created. Check that you are allowed to create folders there.</translation>
    </message>
    <message>
        <source>The selected path does not have write permission. Please select another directory.</source>
        <translation>You are not allowed to write to the selected folder. Please choose another folder.</translation>
    </message>
    <message>
        <source>The selected path does not have read permission. Please select another directory.</source>
        <translation>You are not allowed to read from the selected folder. Please choose another folder.</translation>
    </message>
    <message>
        <source>Data verification failed on the selected path. Please select another directory.</source>
        <translation>A test file in the selected folder did not read back as written. Please choose another folder.</translation>
    </message>
    <message>
        <source>The selected path does not have delete permission. Please select another directory.</source>
        <translation>You are not allowed to delete files in the selected folder. Please choose another folder.</translation>
    </message>
    <message>
        <source>confirm</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>The settings will take effect the next time you start Zentri</source>
        <translation>The change takes effect the next time Zentri starts</translation>
    </message>
    <message>
        <source>The local backup configuration has been changed to `Incremental Backup`, this setting will take effect after restarting Zentri.</source>
        <translation>Local backups now use incremental backup. This takes effect after you restart Zentri.</translation>
    </message>
    <message>
        <source>Understood</source>
        <translation>Got it</translation>
    </message>
    <message>
        <source>Are you sure to disable backup</source>
        <translation>Turn off local backups?</translation>
    </message>
    <message>
        <source>After turning off the backup, unsaved documents are at risk of losing data in the event of a power outage, shutdown, or unexpected shutdown of Zentri. It is recommended to turn on the backup.</source>
        <translation>Without backups, unsaved changes to your documents can be lost if the power fails, the computer shuts down or Zentri closes unexpectedly. We recommend keeping backups on.</translation>
    </message>
    <message>
        <source>Keep enabled.</source>
        <translation>Keep backups on</translation>
    </message>
    <message>
        <source>confirm the shutdown.</source>
        <translation>Turn off</translation>
    </message>
    <message>
        <source>Local backup settings</source>
        <translation>Local backup settings</translation>
    </message>
    <message>
        <source>Smart backup</source>
        <translation>Smart backup</translation>
    </message>
    <message>
        <source>Adjust backup frequency based on document size and save time. If the file is small, it will take a short time to save, and the backup frequency will be high; if the file is large, it will take a long time to save, and the backup interval will be long.</source>
        <translation>Backs up as often as the document&apos;s size and saving time allow: a small file that saves quickly is backed up often, a large file that takes long to save less often.</translation>
    </message>
    <message>
        <source>Timed backup</source>
        <translation>Timed backup</translation>
    </message>
    <message>
        <source>After the document is modified, a backup is automatically generated when the following interval is reached.</source>
        <translation>After a document changes, a backup is made automatically once the interval below has passed.</translation>
    </message>
    <message>
        <source>Increment backup</source>
        <translation>Incremental backup</translation>
    </message>
    <message>
        <source>Real-time recording of steps taken on documents, and quick replay of these steps when reading backups. When this method is enabled, it takes effect after restarting Zentri.</source>
        <translation>Records each step you take in a document as you work and replays the steps quickly when a backup is opened. Takes effect after you restart Zentri.</translation>
    </message>
    <message>
        <source>Close backup</source>
        <translation>Backups off</translation>
    </message>
    <message>
        <source>Backup method</source>
        <translation>Backup method</translation>
    </message>
    <message>
        <source>Retention period</source>
        <translation>Retention period</translation>
    </message>
    <message>
        <source>Keep only the last</source>
        <translation>Keep backups of the last</translation>
    </message>
    <message>
        <source>days</source>
        <translation>days</translation>
    </message>
    <message>
        <source>(Range %1-%2)</source>
        <translation>(from %1 to %2)</translation>
    </message>
    <message>
        <source>Backup location</source>
        <translation>Backup location</translation>
    </message>
    <message>
        <source>Change location</source>
        <translation>Change location</translation>
    </message>
</context>
<context>
    <name>KStyleMessageBox</name>
    <message>
        <source>Close</source>
        <translation>Close</translation>
    </message>
</context>
<context>
    <name>KTimedBackupEditGroup</name>
    <message>
        <source>Time interval of</source>
        <translation>Back up every</translation>
    </message>
    <message numerus="yes">
        <source>hours</source>
        <translation>
            <numerusform>hour</numerusform>
            <numerusform>hours</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>minutes (less than 12 hours)</source>
        <translation>
            <numerusform>minute (less than 12 hours in all)</numerusform>
            <numerusform>minutes (less than 12 hours in all)</numerusform>
        </translation>
    </message>
</context>
</TS>
