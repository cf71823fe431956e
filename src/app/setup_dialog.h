#pragma once
// The settings dialog "設定": sector gate length, minimum lap distance and time.
#include <functional>
#include <QDialog>
#include "model/settings.h"

class QLineEdit;
class QPushButton;
class QTabWidget;

namespace vel {

class TOKBottomDlgSetup : public QDialog {
    Q_OBJECT
public:
    explicit TOKBottomDlgSetup(QWidget* parent = nullptr);

    void SetFields(const SetupFields& f);
    SetupFields Fields() const;

    QLineEdit* EditSectMt;
    QLineEdit* EditMinLapDist;
    QLineEdit* EditMinLapTime;
    QPushButton* ButtonDef;
    QPushButton* ButtonDefLap;
    QPushButton* ButtonDefTim;
    QTabWidget* PageControl;

    // Closing with OK is refused, silently, while a field is invalid.
    void done(int r) override;

    // Opens the dialog on settings and takes the fields when it returns OK.
    // exec stands in for the modal loop in tests.
    static bool Run(QWidget* parent, Settings& settings,
                    const std::function<int(TOKBottomDlgSetup&)>& exec = {});

private slots:
    void ButtonDefClick();
    void ButtonDefLapClick();
    void ButtonDefTimClick();
};

} // namespace vel
