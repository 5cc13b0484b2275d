#include "platform/Clock.h"

namespace {
class SystemClock : public Clock {
public:
    QDateTime currentDateTime() const override { return QDateTime::currentDateTime(); }
};
} // namespace

Clock& Clock::production()
{
    static SystemClock clock;
    return clock;
}
