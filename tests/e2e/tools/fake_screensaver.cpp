// A stand-in for a desktop's org.freedesktop.ScreenSaver service on a private session bus. It
// hands out cookies for Inhibit, takes them back on UnInhibit, and, as the desktops' own
// services do, drops the cookies of a caller that leaves the bus. Each of these is one line on
// standard output for the test to read:
//   ready
//   inhibit COOKIE APPLICATION REASON
//   uninhibit COOKIE
//   gone COOKIE            (its caller left the bus without UnInhibit)
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDBusVirtualObject>
#include <QMap>
#include <cstdio>

namespace {

class ScreenSaverService : public QDBusVirtualObject {
public:
    explicit ScreenSaverService(QDBusConnection bus) : bus_(bus) {}

    QString introspect(const QString&) const override { return {}; }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override {
        if (message.interface() != QLatin1String("org.freedesktop.ScreenSaver")) return false;
        const QList<QVariant> args = message.arguments();
        if (message.member() == QLatin1String("Inhibit") && args.size() == 2) {
            const uint cookie = nextCookie_++;
            owners_.insert(cookie, message.service());
            Say(QStringLiteral("inhibit %1 %2 %3")
                    .arg(cookie)
                    .arg(args[0].toString(), args[1].toString()));
            Watch(message.service());
            connection.send(message.createReply(QVariant::fromValue(cookie)));
            return true;
        }
        if (message.member() == QLatin1String("UnInhibit") && args.size() == 1) {
            const uint cookie = args[0].toUInt();
            if (owners_.remove(cookie) > 0) Say(QStringLiteral("uninhibit %1").arg(cookie));
            connection.send(message.createReply());
            return true;
        }
        return false;
    }

private:
    void Watch(const QString& caller) {
        auto* watcher = new QDBusServiceWatcher(caller, bus_,
                                                QDBusServiceWatcher::WatchForUnregistration, this);
        QObject::connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this,
                         [this, watcher](const QString& name) {
                             for (auto it = owners_.begin(); it != owners_.end();) {
                                 if (it.value() != name) {
                                     ++it;
                                     continue;
                                 }
                                 Say(QStringLiteral("gone %1").arg(it.key()));
                                 it = owners_.erase(it);
                             }
                             watcher->deleteLater();
                         });
    }

    static void Say(const QString& line) {
        std::printf("%s\n", qPrintable(line));
        std::fflush(stdout);
    }

    QDBusConnection bus_;
    QMap<uint, QString> owners_;
    uint nextCookie_ = 7001;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QDBusConnection bus = QDBusConnection::sessionBus();
    ScreenSaverService service(bus);
    if (!bus.registerVirtualObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &service) ||
        !bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver"))) {
        std::fprintf(stderr, "cannot serve org.freedesktop.ScreenSaver: %s\n",
                     qPrintable(bus.lastError().message()));
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
