#pragma once
// A feed mirror on 127.0.0.1 that answers every request as the test scripts
// it, and counts the connections it gets.

#include "platform/PropertyList.h"
#include "platform/Value.h"

#include <QByteArray>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <functional>
#include <memory>

class LoopbackMirror {
public:
    // Called once the request's header has arrived.
    using Script = std::function<void(QTcpSocket* socket, const QByteArray& request)>;

    explicit LoopbackMirror(Script script) : m_script(std::move(script))
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                ++m_connections;
                socket->setParent(&m_server);
                auto header = std::make_shared<QByteArray>();
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket, header] {
                    if (header->endsWith("\r\n\r\n"))
                        return;
                    *header += socket->readAll();
                    if (header->contains("\r\n\r\n")) {
                        m_requests.append(*header);
                        if (m_script)
                            m_script(socket, *header);
                    }
                });
            }
        });
    }

    QString url(const QString& path = QStringLiteral("/mac/calvorin.plist")) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_server.serverPort()).arg(path);
    }
    int connections() const { return m_connections; }
    const QList<QByteArray>& requests() const { return m_requests; }

    // An address on 127.0.0.1 where nothing listens.
    static QString refusedUrl()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        const quint16 port = probe.serverPort();
        probe.close();
        return QStringLiteral("http://127.0.0.1:%1/mac/calvorin.plist").arg(port);
    }

    // Scripts.
    static Script answer(int status, QByteArray body, QByteArray headers = {})
    {
        return [=](QTcpSocket* socket, const QByteArray&) {
            socket->write(head(status, headers + "Content-Length: " + QByteArray::number(body.size()) + "\r\n"));
            socket->write(body);
            socket->disconnectFromHost();
        };
    }
    static Script feed(const QByteArray& body) { return answer(200, body, "Content-Type: application/xml\r\n"); }
    static Script hang()
    {
        return [](QTcpSocket*, const QByteArray&) {};
    }
    // A byte at a time, each a little while after the one before.
    static Script trickle(QByteArray body, int intervalMs)
    {
        return [=](QTcpSocket* socket, const QByteArray&) {
            socket->write(head(200, "Content-Length: " + QByteArray::number(body.size()) + "\r\n"));
            auto* timer = new QTimer(socket);
            auto sent = std::make_shared<qsizetype>(0);
            QObject::connect(timer, &QTimer::timeout, socket, [=] {
                if (*sent < body.size())
                    socket->write(body.mid((*sent)++, 1));
            });
            timer->start(intervalMs);
        };
    }
    // Announces the body whole, sends part of it and hangs up.
    static Script truncated(QByteArray body)
    {
        return [=](QTcpSocket* socket, const QByteArray&) {
            socket->write(head(200, "Content-Length: " + QByteArray::number(body.size()) + "\r\n"));
            socket->write(body.left(body.size() / 2));
            socket->disconnectFromHost();
        };
    }
    // A body without an announced length, ended by hanging up.
    static Script unannounced(QByteArray body)
    {
        return [=](QTcpSocket* socket, const QByteArray&) {
            socket->write(head(200, {}));
            socket->write(body);
            socket->disconnectFromHost();
        };
    }
    static Script redirect(QByteArray location)
    {
        return answer(302, {}, "Location: " + location + "\r\n");
    }

    // A feed with the given values; absent ones are left out.
    static QByteArray feedBody(const Value& latest, PropertyList::Format format = PropertyList::Format::Binary,
                               const Value& download = Value("https://downloads.example.com/calvorin.zip"),
                               const Value& page = Value("https://www.example.com/download/"))
    {
        DictionaryRef feed = Dictionary::create();
        feed->setObject(latest, QStringLiteral("LRA"));
        feed->setObject(download, QStringLiteral("GFU"));
        feed->setObject(page, QStringLiteral("DPU"));
        return PropertyList::dataWithPropertyList(Value(feed), format);
    }

private:
    static QByteArray head(int status, const QByteArray& headers)
    {
        return "HTTP/1.1 " + QByteArray::number(status) + " Scripted\r\nConnection: close\r\n" + headers + "\r\n";
    }

    Script m_script;
    QTcpServer m_server;
    int m_connections = 0;
    QList<QByteArray> m_requests;
};
