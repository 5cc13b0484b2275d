#include "platform/Observable.h"

Observable::Observable(QObject* parent) : QObject(parent) {}

Observable::~Observable() = default;

bool Observable::keyPathAffects(const QString& changed, const QString& observed)
{
    if (changed == observed)
        return true;
    const auto isPrefix = [](const QString& head, const QString& path) {
        return path.size() > head.size() && path.startsWith(head) && path.at(head.size()) == u'.';
    };
    return isPrefix(changed, observed) || isPrefix(observed, changed);
}
