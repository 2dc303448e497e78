// vzupdater: the window face of the updater.
//   vzupdater [--root DIR] [SCRIPT]
// SCRIPT: a script file whose directory holds every file it names.
// DIR: the directory of the model directories; without it they are looked for
// beside the program, then in VZ_ROOT, then in the package directory chosen at
// installation (Windows), then in the current directory.
// Environment (see docs/window.md): VZ_UNATTENDED=1 runs once without an
// operator; VZ_SNAPSHOT=FILE saves a picture of the window half-way through a run.
#include "app/core/machine_settings.h"
#include "app/core/model_root.h"
#include "app/face_data/window_arguments.h"
#include "app/gui/about_box.h"
#include "app/gui/main_fich.h"

#include <QApplication>
#include <QDir>
#include <QIcon>

#include <cstdio>
#include <filesystem>

namespace {

void PrintLine(const QString& line) {
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    // Answered before the toolkit starts: no display is needed for them.
    if (const auto early = vz::face::ParseWindowArguments(argc, argv); early.help || early.version) {
        std::fputs((early.help ? vz::face::WindowUsageText() : vz::face::WindowVersionText()).c_str(),
                   stdout);
        return 0;
    }
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/vzupdater/vzupdater.png")));

    vz::TMainFich window;
    // The toolkit has taken its own options out of argv by now.
    const auto arguments = vz::face::ParseWindowArguments(argc, argv);
    if (!arguments.script.empty()) window.Driver().SetScriptArgument(arguments.script);
    std::error_code ec;
    window.Driver().UsePackageRoot(
        arguments.root,
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toLocal8Bit().toStdString(),
        qEnvironmentVariable("VZ_ROOT").toLocal8Bit().toStdString(), vz::MachinePackageRoot(),
        std::filesystem::current_path(ec).string(), true);

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
