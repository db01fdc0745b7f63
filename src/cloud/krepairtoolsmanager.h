#pragma once

#include <QObject>

// Starts the suite's document-repair and data-recovery tools, which the
// suite's cloud service process runs on request.
class KRepairToolsManager : public QObject
{
    Q_OBJECT
public:
    explicit KRepairToolsManager(QObject *parent = nullptr);
    ~KRepairToolsManager() override;

    // Each answers whether the suite's launcher started the tool.
    bool launchDocumentRepair();
    bool launchDataRecovery();
};
