#pragma once
#include <QObject>
#include <QString>

#include <string>

class QLocalServer;

// A program running in tray mode listens on a local socket named after its
// home folder, in the user's runtime folder and open to the user alone; a second start of the
// program with the same home folder asks it to come up instead of starting a second surveillance of
// the same camera.
class CStartSignal : public QObject {
    Q_OBJECT
public:
    // The socket's full path for a home folder (one per user and folder).
    static QString ServerName(const std::string& homeFolder);
    // Asks a running program to come up; true when it answered.
    static bool SignalRunning(const QString& name, int timeoutMs = 2000);

    explicit CStartSignal(const QString& name, QObject* parent = nullptr);
    ~CStartSignal() override;

    bool IsListening() const;
    // Stops answering; a program that is closing must let a new start run.
    void Stop();

signals:
    void StartRequested();

private:
    void OnConnection();

    QLocalServer* m_server;
};
