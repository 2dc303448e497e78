// vzupdater: the window face of the updater.
//   vzupdater [--root DIR] [SCRIPT]
//   vzupdater --station [NAME] [--port [LABEL=]PORT]... [options] [SCRIPT]: many ports at once
// SCRIPT: a script file whose directory holds every file it names.
// DIR: the directory of the model directories; without it they are looked for
// beside the program, then in VZ_ROOT, then in the package directory chosen at
// installation (Windows), then in the current directory.
// Environment (see docs/window.md): VZ_UNATTENDED=1 runs once without an
// operator; VZ_SNAPSHOT=FILE saves a picture of the window half-way through a run.
#include "app/core/machine_settings.h"
#include "app/core/model_root.h"
#include "app/face_data/station_arguments.h"
#include "app/face_data/window_arguments.h"
#include "app/gui/about_box.h"
#include "app/gui/main_fich.h"
#include "app/gui/station_fich.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QSysInfo>

#include <cstdio>
#include <filesystem>

namespace {

void PrintLine(const QString& line) {
    std::fputs(line.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The station window, from its command line.
int RunStation(QApplication& app, int argc, char** argv) {
    // Read once the toolkit has taken its own options (-platform, -display) out of argv.
    const vz::face::StationArguments arguments = vz::face::ParseStationArguments(argc, argv);
    if (!arguments.error.empty()) {
        std::fputs((arguments.error + "\n" + vz::face::StationUsageText()).c_str(), stderr);
        return 3;
    }
    vz::face::StationContext context;
    context.places.programDir =
        QDir::toNativeSeparators(QCoreApplication::applicationDirPath() + QDir::separator())
            .toLocal8Bit()
            .toStdString();
    context.places.variable = qEnvironmentVariable("VZ_ROOT").toLocal8Bit().toStdString();
    context.places.machineDir = vz::MachinePackageRoot();
    std::error_code ec;
    context.places.currentDir = std::filesystem::current_path(ec).string();
    context.hostName = QSysInfo::machineHostName().toStdString();
    context.version = vz::face::WindowProgramVersion();
    vz::TStationFich window(arguments, context);
    window.show();
    return app.exec();
}

} // namespace

int main(int argc, char** argv) {
    // Answered before the toolkit starts: no display is needed for them.
    const bool station = vz::face::WantsStation(argc, argv);
    if (const auto early = vz::face::ParseWindowArguments(argc, argv); early.help || early.version) {
        std::fputs((early.version ? vz::face::WindowVersionText()
                    : station     ? vz::face::StationUsageText()
                                  : vz::face::WindowUsageText())
                       .c_str(),
                   stdout);
        return 0;
    }
    QApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/vzupdater/vzupdater.png")));
    // The toolkit has taken its own options out of argv by now.
    if (station) return RunStation(app, argc, argv);

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
