// The reader of the suite's sync-conflict files, fed any text: it must end,
// never crash, and file every record under its lowercased backup path.
#include "localbackup/syncconflictfile.h"

#include <QBuffer>
#include <QDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    QBuffer device(&bytes);
    device.open(QIODevice::ReadOnly | QIODevice::Text);
    QHash<QString, SyncConflictInfo> table;
    SyncConflictFile::parse(&device, table);
    for (auto it = table.cbegin(); it != table.cend(); ++it) {
        if (it.key() != QDir::fromNativeSeparators(it.value().backup)) {
            std::fprintf(stderr, "record filed under %s\n", it.key().toUtf8().constData());
            std::abort();
        }
    }
    return 0;
}
