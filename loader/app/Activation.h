// One download tool per user: the first one holds the name "QAVNetLoader"
// and offers "Activate" on the session bus; a second start asks it to come
// forward and ends.
#pragma once

#include <QObject>
#include <QString>

namespace nloadui {

inline constexpr const char* kInstanceName = "QAVNetLoader";
inline constexpr const char* kActivationService = "org.voranta.qav.NetLoader";
inline constexpr const char* kActivationPath = "/org/voranta/qav/NetLoader";
inline constexpr const char* kActivationInterface = "org.voranta.qav.NetLoader";

// The running tool's side: emits `activated` when another start asks.
class Activation : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.voranta.qav.NetLoader")
public:
    explicit Activation(QObject* parent = nullptr) : QObject(parent) {}
    // Offers the service; false, with the reason, without a session bus.
    bool Register(QString* error = nullptr);

public slots:
    Q_SCRIPTABLE void Activate();

signals:
    void activated();
};

// The second start's side: asks the running tool to come forward, trying
// for up to timeoutMs (the first one may still be starting). False when
// nobody answered.
bool ActivateRunningTool(int timeoutMs, QString* error = nullptr);

} // namespace nloadui
