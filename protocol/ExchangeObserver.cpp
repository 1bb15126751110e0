#include "protocol/ExchangeObserver.h"

#include <atomic>

namespace {
std::atomic<TExchangeObserver *> installed{nullptr};
}

void SetExchangeObserver(TExchangeObserver *observer)
{
    installed.store(observer, std::memory_order_release);
}

TExchangeObserver *CurrentExchangeObserver()
{
    return installed.load(std::memory_order_acquire);
}
