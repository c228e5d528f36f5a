#include "platform/single_instance.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>

namespace {
constexpr char KActivateRequest[] = "activate\n";
constexpr int KConnectTimeoutMs = 1000;
}  // namespace

TSingleInstance::TSingleInstance(QString AApplicationId, QString ASocketName)
    : FSocketName(ASocketName.isEmpty()
                      ? AApplicationId + QLatin1Char('-') + QString::number(::getuid())
                      : std::move(ASocketName)) {}

TSingleInstance::~TSingleInstance() = default;

void TSingleInstance::SetOnActivate(std::function<void()> AHandler) {
    FOnActivate = std::move(AHandler);
}

bool TSingleInstance::TryBecomePrimary() {
    {
        QLocalSocket probe;
        probe.connectToServer(FSocketName);
        if (probe.waitForConnected(KConnectTimeoutMs)) {
            probe.write(KActivateRequest);
            probe.waitForBytesWritten(KConnectTimeoutMs);
            probe.disconnectFromServer();
            return false;
        }
    }
    FServer = std::make_unique<QLocalServer>();
    FServer->setSocketOptions(QLocalServer::UserAccessOption);
    if (!FServer->listen(FSocketName)) {
        // Nobody answered, so the socket file is left over from an instance that crashed.
        QLocalServer::removeServer(FSocketName);
        if (!FServer->listen(FSocketName))
            return true;  // run anyway; one instance is better than none
    }
    QObject::connect(FServer.get(), &QLocalServer::newConnection, FServer.get(),
                     [this] { HandleConnection(); });
    return true;
}

void TSingleInstance::HandleConnection() {
    while (QLocalSocket* socket = FServer->nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (socket->readAll().contains("activate") && FOnActivate)
                FOnActivate();
        });
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    }
}
