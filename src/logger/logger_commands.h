#pragma once
// The logger tab's commands and the request sequencer: each command fills
// the request queue and starts a connection; once the logger is identified
// AcptMTKGPSreq works the names one by one (sentence requests wait for their
// answers, display requests show them), including the memory download with
// its progress dialog, range dialog, abort and hand-over to the import.
#include <functional>
#include <QObject>
#include <QPointer>
#include "logger/logger_requests.h"

namespace vel {

class LoggerControls;
class LoggerLink;
class TOKBottomDlgGPSloading;

class LoggerCommands : public QObject {
    Q_OBJECT
public:
    LoggerCommands(LoggerLink& link, LoggerControls& controls, QObject* parent = nullptr);
    ~LoggerCommands() override;

    void ButtonLogSpaceClick();
    void ButtonLogEraseClick();
    void ButtonSet10HzClick();
    void ButtonSet5HzClick();
    void ButtonSet2HzClick();
    void ButtonSetTrigSpdClick();
    void SpeedButtonLdGPSClick();

    void AcptMTKGPSreq();

    // The range dialog; true with the range changed when closed with OK.
    // Tests answer it in place of the real dialog.
    std::function<bool(LoadRange&)> rangeDialog;

    QString CurGpsReq;
    int TrigSpd = 30;
    int DlTotal = 0;
    bool DlDoneNotify = false;
    // The progress dialog while a download runs.
    TOKBottomDlgGPSloading* LoadingDialog() const;
    // Per cent shown by the progress bar now.
    int Progress() const;

private:
    void Start(const QStringList& requests);
    void Refuse(const char* text);
    void ShowStatus(bool stat2);
    void ReadLog();
    void AnlzLog();
    void WMShowLoading();
    void LoadingTick();
    void AbortDownload();
    void AskAbort();

    LoggerLink& link_;
    LoggerControls& controls_;
    QPointer<TOKBottomDlgGPSloading> loading_;
    bool askingAbort_ = false;
};

} // namespace vel
