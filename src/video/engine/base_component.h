#pragma once
// The base of the engine's components (logger, decoder, player).
#include <QObject>
#include <QString>

namespace vel::video {

class TFFBaseComponent : public QObject {
public:
    explicit TFFBaseComponent(QObject* parent = nullptr) : QObject(parent) {}
    QString About;
    QString Version = QStringLiteral("4.1b");
};

} // namespace vel::video
