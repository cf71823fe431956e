#include "views/export_widgets.h"

#include <QAction>
#include <QBoxLayout>
#include <QFrame>
#include <QMenu>
#include <QToolButton>
#include "platform/tool_buttons.h"
#include "views/export_commands.h"
#include "views/graph_tab.h"

namespace vel {

namespace {

// A tool button inserted before the strip's trailing stretch (at the end
// when it has none).
QToolButton* StripButton(QWidget* strip, const char* name, const QString& text, const QString& hint) {
    auto* box = qobject_cast<QBoxLayout*>(strip->layout());
    auto* b = new QToolButton(strip);
    b->setObjectName(name);
    b->setText(text);
    b->setToolTip(hint);
    // Clicking must leave the lap list's focus where it is.
    b->setFocusPolicy(Qt::NoFocus);
    if (!box) return b;
    int at = box->count();
    for (int i = box->count() - 1; i >= 0; --i) {
        if (box->itemAt(i)->spacerItem()) {
            at = i;
            break;
        }
    }
    box->insertWidget(at, b);
    return b;
}

} // namespace

ExportButtons AddExportButtons(GraphTab& graph, QWidget* dataStrip) {
    ExportButtons b;
    b.SpeedButtonGoogleEarth =
        StripButton(graph.PanelTool, "SpeedButtonGoogleEarth", QStringLiteral("KML"), QStringLiteral("走行ラインをグーグルアースに出力"));
    if (dataStrip) {
        // Short captions: the strip must still fit a 1280-pixel window.
        auto dataTool = [dataStrip](const char* name, const QString& text, const QString& hint) {
            QToolButton* t = StripButton(dataStrip, name, text, hint);
            t->setToolButtonStyle(Qt::ToolButtonTextOnly);
            return t;
        };
        b.SpeedButtonCsv2 = dataTool("SpeedButtonCsv2", QStringLiteral("CSV"), QStringLiteral("走行データをCSVファイル保存"));
        b.SpeedButtonNMEA = dataTool("SpeedButtonNMEA", QStringLiteral("NMEA"), QStringLiteral("NMEAファイル出力"));
        b.SpeedButtonCsv = dataTool("SpeedButtonCsv", QStringLiteral("表"),
                                    QStringLiteral("走行データ一覧をCSVファイルとして保存"));
    }
    return b;
}

PictureMenu MakePictureMenu(QWidget* parent, ExportCommands& commands) {
    PictureMenu m;
    m.PopupMenu1 = new QMenu(parent);
    m.PopupMenu1->setObjectName("PopupMenu1");
    m.pmJPEG = m.PopupMenu1->addAction(QStringLiteral("&PNGで保存"));
    m.pmJPEG->setObjectName("pmJPEG");
    m.pmBMP = m.PopupMenu1->addAction(QStringLiteral("&BMPで保存"));
    m.pmBMP->setObjectName("pmBMP");
    QObject::connect(m.pmJPEG, &QAction::triggered, m.PopupMenu1, [&commands] { commands.pmJPEGClick(); });
    QObject::connect(m.pmBMP, &QAction::triggered, m.PopupMenu1, [&commands] { commands.pmBMPClick(); });
    return m;
}

void InstallPictureMenu(QWidget* pane, int id, const PictureMenu& menu, ExportCommands& commands,
                        std::function<bool()> allowed) {
    pane->setContextMenuPolicy(Qt::CustomContextMenu);
    QMenu* popup = menu.PopupMenu1;
    QObject::connect(pane, &QWidget::customContextMenuRequested, pane,
                     [pane, id, popup, &commands, allowed](const QPoint& pos) {
                         if (allowed && !allowed()) return;
                         commands.PopupSrc = id;
                         popup->popup(pane->mapToGlobal(pos));
                     });
}

} // namespace vel
