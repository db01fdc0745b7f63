#pragma once

#include "core/platformfiles.h"
#include "localbackup/backupfolderscanner.h"
#include "localbackup/copyverifier.h"

#include <kcloudsvrproxy.h>
#include <kessjsapi.h>

#include <QByteArray>
#include <QFuture>
#include <QString>

#include <functional>

class BackupFolderWatcher;
class KLocalBackupManager;
class TextIndex;
class QMutex;
class QTimer;

// The backup-center page's script object. The framework calls its slots by
// name, in this order of the meta-object: the page methods first, then the
// reply slots and the slots used internally.
class arkivoAPI : public KEssJsApiHandler
{
    Q_OBJECT
public:
    explicit arkivoAPI(KEssJsApi *api);
    ~arkivoAPI() override;

    // Creates a handler, wires it to the host's skin and account news and
    // hands it to the registry, which owns it from then on.
    static void registerWith(KEssJsApi *api);

private slots:
    // Backup files: serialised by apiMutex.
    void getBackupFileList(KxWebViewJSContext &);
    void openBackupFile(KxWebViewJSContext &);
    void openBackupGroup(KxWebViewJSContext &);
    void openBackupFolder(KxWebViewJSContext &);
    void delBackupFile(KxWebViewJSContext &);
    void delBackupGroup(KxWebViewJSContext &);

    void showBackupSettings(KxWebViewJSContext &);
    void runDocumentRepair(KxWebViewJSContext &);
    void runDataRestore(KxWebViewJSContext &);
    void getAppInfo(KxWebViewJSContext &);
    void showFileRadarDlg(KxWebViewJSContext &);
    void changeRoamingMode(KxWebViewJSContext &);
    void getRoamingMode(KxWebViewJSContext &);
    void manualBackupFiles(KxWebViewJSContext &);
    void getUploadFilesProgress(KxWebViewJSContext &);
    void getUploadSuccessFilesCount(KxWebViewJSContext &);
    void cancelUploadFilesToCloud(KxWebViewJSContext &);
    void openUrl(KxWebViewJSContext &);
    void enterBackupCenterPage(KxWebViewJSContext &);
    void disableFeature(KxWebViewJSContext &);
    void openSearchPanel(KxWebViewJSContext &);
    void openCloudRecycleBin(KxWebViewJSContext &);
    void openLoaclRecycleBin(KxWebViewJSContext &);
    // Beyond the suite's table: what a listed copy holds, how two differ,
    // its exact time and size, and putting it back as a new file.
    void getBackupFilePreview(KxWebViewJSContext &);
    void compareBackupFiles(KxWebViewJSContext &);
    void getBackupFileDetails(KxWebViewJSContext &);
    void restoreBackupFile(KxWebViewJSContext &);
    // How well the documents are protected, and whether copies still open.
    void getBackupStatus(KxWebViewJSContext &);
    void verifyBackupFiles(KxWebViewJSContext &);
    // The copies whose text holds the words searched for.
    void searchBackupText(KxWebViewJSContext &);
    // Raises the plug-in's open window (the settings dialog, a picker, a box).
    void bringWindowToFront(KxWebViewJSContext &);
    // Whether someone is signed in, without asking anyone to sign in.
    void getSignInState(KxWebViewJSContext &);
    // Each file of the current upload: its name, state and share done.
    void getUploadFilesState(KxWebViewJSContext &);
    // The backup list as getBackupFileList lists it, in a fifth of the text.
    void getBackupFileListCompact(KxWebViewJSContext &);

    void onGetRoamingMode(bool, QString, KRpcResponse);
    void onChangeRoamingMode(bool, QString, KRpcResponse);
    void onUserInfoChanged(int);
    void onSkinChanged();
    bool doOpenSearchPanel();
    bool doOpenCloudRecycleBin();

private:
    // The shape shared by the backup-file methods: locked, logged, answered
    // with "result" from one catalogue operation on the call's arguments.
    template<typename Operation>
    void answerFromCatalogue(KxWebViewJSContext &context, const char *method, Operation operation);
    // Lists the backup folders again and answers the list as `write` lays it
    // out. A Reusable listing answers the last one's text again when nothing
    // it was made from has changed since (folders, conflict records).
    enum class Listing { Specified, Fresh, Reusable };
    template<typename Write>
    void answerListing(KxWebViewJSContext &context, const char *method, const char *key, Write write, Listing listing);
    bool lastListingHolds(const QStringList &folders, const KLocalBackupManager *catalogue) const;
    // The backup folders are read in the background as soon as the script
    // object exists, while the page loads; its first listing takes what was
    // read when none of the folders changed since.
    void prefetchListing();
    bool takePrefetch(const QStringList &folders, QVector<QVector<BackupFolderEntry>> *scanned);
    void dropPrefetch();
    void requestRoamingMode();
    // Whether the cloud client takes the account's storage with a roaming
    // change; read once per process.
    static bool isRoamingMode20Enabled();
    bool isLoggedIn() const;
    // From the first listing on, the listed folders are watched and the
    // page hears of copies that appear or vanish.
    void startWatching(const QStringList &folders);
    // Brings the catalogue in step with what the watcher found and tells the page.
    void applyFolderChange(const std::function<QPair<QStringList, QStringList>(KLocalBackupManager *)> &apply);
    void reportVerified(const QVector<QPair<QString, CopyVerifier::State>> &results);
    void requestLogin(const QString &tag);
    // After a listing, the text index follows the copies listed; without a
    // catalogue the index is only made.
    void requestTextIndexPass(const KLocalBackupManager *catalogue);
    // The same a moment after the catalogue changed: the page's answer goes
    // first, and a host that only lists and leaves starts no pass at all.
    void scheduleTextIndexPass();

    bool loginPending = false;
    QMutex *apiMutex;
    // The text of the last listing, which its answer points into, and what
    // that listing was made from.
    QByteArray m_listText;
    QString m_listKey;
    QStringList m_listFolders;
    QVector<PlatformFiles::Stamp> m_listFolderStamps;
    QFuture<QVector<QVector<BackupFolderEntry>>> m_prefetch;
    bool m_prefetching = false;
    QStringList m_prefetchFolders;
    QVector<PlatformFiles::Stamp> m_prefetchStamps;
    BackupFolderWatcher *m_folderWatcher = nullptr;
    CopyVerifier *m_verifier;
    TextIndex *m_textIndex = nullptr;
    QTimer *m_textIndexDelay = nullptr;
};
