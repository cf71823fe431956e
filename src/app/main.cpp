// Velmaris: companion of the GPS lap logger.
#include <memory>
#include <QApplication>
#include <QLibraryInfo>
#include <QPointer>
#include <QScreen>
#include <QTranslator>
#include "app/app_services.h"
#include "app/entry.h"
#include "app/main_window.h"
#include "model/session.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Velmaris");
    QApplication::setApplicationDisplayName("Velmaris");
    // Qt's own texts (standard buttons, file dialogs, system errors) in Japanese.
    QTranslator qtJapanese;
    if (qtJapanese.load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtJapanese);

    vel::SingleInstance instance("Velmaris");
    {
        vel::QtPrompts prompts(nullptr);
        if (!vel::CheckSingleInstance(instance, prompts)) return 0;
    }

    auto session = std::make_unique<vel::Session>();
    session->folders = vel::StandardFolders();
    vel::AppServices appServices(*session);
    int rc = 0;
    {
        vel::TFormMain window(*session, appServices);
        QPointer<vel::TFormMain> raised(&window);
        instance.Listen([raised] {
            if (raised) raised->RaiseWindow();
        });
        // Without a window manager to maximise it, the window still fills the screen.
        if (QScreen* screen = window.screen()) window.setGeometry(screen->availableGeometry());
        window.showMaximized();
        const auto termination = vel::ShutDownInOrderOnTermination(window);
        rc = app.exec();
    }
    instance.Release();
    return rc;
}
