// vzupdater: the window face of the updater.
//   vzupdater [SCRIPT]
// SCRIPT: a script file whose directory holds every file it names.
// Environment (see docs/window.md): VZ_ROOT replaces the program's directory as
// the directory of the model directories; VZ_UNATTENDED=1 runs once without an
// operator; VZ_SNAPSHOT=FILE saves a picture of the window half-way through a run.
#include "app/gui/about_box.h"
#include "app/gui/main_fich.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <cstdio>

namespace {

void PrintLine(const QString& line) {
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/vzupdater/vzupdater.png")));

    vz::TMainFich window;
    // The toolkit has taken its own options out of argv by now.
    if (argc > 1) window.Core().SetScriptArgument(argv[1]);
    const QString root = qEnvironmentVariableIsEmpty("VZ_ROOT") ? QCoreApplication::applicationDirPath()
                                                                : qEnvironmentVariable("VZ_ROOT");
    window.Core().SetRootDir(QDir::toNativeSeparators(root).toLocal8Bit().toStdString());

    vz::TAboutBox aboutBox(&window);
    window.SetAboutBox(&aboutBox);

    const bool unattended = qEnvironmentVariable("VZ_UNATTENDED") == QLatin1String("1");
    if (unattended) {
        window.SetUnattended(true);
        QObject::connect(&window, &vz::TMainFich::MemoLineShown, &PrintLine);
        QObject::connect(&window, &vz::TMainFich::ErrorReported,
                         [](const QString& text) { PrintLine(QStringLiteral("Error: ") + text); });
    }
    if (!qEnvironmentVariableIsEmpty("VZ_SNAPSHOT"))
        window.SetSnapshotPath(qEnvironmentVariable("VZ_SNAPSHOT"));

    window.show();
    const int code = app.exec();
    if (unattended && window.UnattendedFailed()) return 1;
    return code;
}
