#include "platform/framework/qt/qt_start.h"

#include <QRegularExpression>

#include <cstdlib>
#include <string_view>
#include <utility>

namespace qtui {
namespace {

// Tried after the chosen platforms: it always starts, so that a platform that
// cannot start is a result to act on rather than Qt's fatal error.
constexpr char kLastResort[] = "minimal";

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

QString PlatformsToTry() {
    if (IsSet("QT_QPA_PLATFORM")) return QString::fromLocal8Bit(std::getenv("QT_QPA_PLATFORM"));
    const char* session = std::getenv("XDG_SESSION_TYPE");
    bool waylandFirst = session && std::string_view(session) == "wayland";
    QStringList platforms;
    if (IsSet("DISPLAY")) platforms << "xcb";
    if (IsSet("WAYLAND_DISPLAY")) waylandFirst ? platforms.prepend("wayland") : platforms.append("wayland");
    return platforms.join(';');
}

bool Names(const QString& platforms, const QString& platform) {
    for (const QString& entry : platforms.split(';', Qt::SkipEmptyParts))
        if (entry.section(':', 0, 0) == platform) return true;
    return false;
}

// What Qt says while it starts: kept back, and shown only if it starts.
struct StartMessage {
    QString category;
    QString text;
};

QList<StartMessage>& StartMessages() {
    static QList<StartMessage> messages;
    return messages;
}

void KeepMessage(QtMsgType, const QMessageLogContext& context, const QString& message) {
    StartMessages().append({QString::fromLatin1(context.category ? context.category : ""), message});
}

// The Debian package with each platform plugin a user may lack.
const char* PluginPackage(const QString& platform) {
    static const std::pair<const char*, const char*> kPackages[] = {
        {"wayland", "qt6-wayland"},   {"wayland-egl", "qt6-wayland"}, {"xcb", "libqt6gui6"},
        {"linuxfb", "libqt6gui6"},    {"eglfs", "libqt6opengl6"},     {"vnc", "qt6-qpa-plugins"}};
    for (const auto& [name, package] : kPackages)
        if (platform == QLatin1String(name)) return package;
    return nullptr;
}

// "; install qt6-wayland" when Qt found no plugin for a platform it tried.
std::string InstallHints() {
    static const QRegularExpression kMissing(R"re(^Could not find the Qt platform plugin "([^"]*)")re");
    std::string hints;
    for (const StartMessage& message : StartMessages()) {
        const QRegularExpressionMatch missing = kMissing.match(message.text);
        const char* package = missing.hasMatch() ? PluginPackage(missing.captured(1)) : nullptr;
        if (package && hints.find(package) == std::string::npos) hints += std::string("; install ") + package;
    }
    return hints;
}

// The Wayland plugin that is there but did not load could not reach the
// compositor (Qt says only that it "could not load" it): said as for X.
std::string InWords(const QString& message) {
    static const QRegularExpression kNotLoaded(R"re(^Could not load the Qt platform plugin "wayland[^"]*" .*even though it was found)re");
    if (IsSet("WAYLAND_DISPLAY") && kNotLoaded.match(message).hasMatch())
        return std::string("cannot connect to the Wayland display ") + std::getenv("WAYLAND_DISPLAY");
    return message.toStdString();
}

// The first thing the platform plugins said (such as "could not connect to
// display :77"): the cause; what follows are its consequences. A missing
// plugin is named with the package that has it.
std::string WhyNotStarted(const QString& platforms) {
    for (const StartMessage& message : StartMessages())
        if (message.category.startsWith("qt.qpa")) return InWords(message.text) + InstallHints();
    return platforms.isEmpty() ? "no display" : "platform " + platforms.toStdString() + " did not start";
}

// QApplication keeps referring to its argument count and vector.
struct Arguments {
    std::string program;
    std::string platformSwitch = "-platform";
    std::string platforms;
    int argc = 3;
    char* argv[4] = {};
};

}  // namespace

std::unique_ptr<QApplication> StartApplication(const char* programName, std::string& reason) {
    static Arguments arguments;
    QString platforms = PlatformsToTry();
    bool lastResortChosen = Names(platforms, kLastResort);
    arguments.program = programName;
    arguments.platforms = (lastResortChosen ? platforms : platforms + ';' + kLastResort).toStdString();
    arguments.argc = 3;
    arguments.argv[0] = arguments.program.data();
    arguments.argv[1] = arguments.platformSwitch.data();
    arguments.argv[2] = arguments.platforms.data();
    arguments.argv[3] = nullptr;

    StartMessages().clear();
    QtMessageHandler previous = qInstallMessageHandler(KeepMessage);
    auto application = std::make_unique<QApplication>(arguments.argc, arguments.argv);
    qInstallMessageHandler(previous);

    if (QGuiApplication::platformName() == kLastResort && !lastResortChosen) {
        application.reset();
        reason = WhyNotStarted(platforms);
        return nullptr;
    }
    for (const StartMessage& message : StartMessages()) qWarning("%s", qPrintable(message.text));
    return application;
}

}  // namespace qtui
