// SPDX-License-Identifier: MIT
#include "service/login_limiter.h"

#include "core/scheduler.h"

namespace {

// IPv4 clients of a dual-stack socket arrive as ::ffff:a.b.c.d: one address, one record.
QString key(const QHostAddress &address)
{
    bool isV4 = false;
    const quint32 v4 = address.toIPv4Address(&isV4);
    return isV4 ? QHostAddress(v4).toString() : address.toString();
}

} // namespace

bool LoginLimiter::failed(const QHostAddress &address)
{
    const qint64 now = clock_.nowMs();
    forgetOld(now);
    Record &record = records_[key(address)];
    record.failures.push_back(now);
    if (int(record.failures.size()) > kFailures && record.refusedUntilMs <= now) {
        record.refusedUntilMs = now + kWindowMs;
        return true;
    }
    return false;
}

bool LoginLimiter::refused(const QHostAddress &address) const
{
    const auto it = records_.constFind(key(address));
    return it != records_.constEnd() && clock_.nowMs() < it->refusedUntilMs;
}

void LoginLimiter::forgetOld(qint64 now)
{
    for (auto it = records_.begin(); it != records_.end();) {
        std::deque<qint64> &failures = it->failures;
        while (!failures.empty() && now - failures.front() >= kWindowMs)
            failures.pop_front();
        if (failures.empty() && now >= it->refusedUntilMs)
            it = records_.erase(it);
        else
            ++it;
    }
}
