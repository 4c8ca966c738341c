#pragma once
// A product service of our own on a free loopback port for each test, stopped when the test ends.

#include "ProductService.h"

#include "net/HTTPOptionItemArray.h"
#include "support/Wait.h"

#include <gtest/gtest.h>

#include <wininet.h>

#include <atomic>
#include <functional>
#include <thread>

inline constexpr wchar_t kAgent[] = L"Norvix Toolbar for Internet Explorer";

// The three time-outs a request takes, each `ms`.
inline void SetTimeouts(net::HTTPOptionItemArray& options, DWORD ms)
{
    options.RemoveAll();
    for (const DWORD option :
        {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
    {
        options.Add(new net::HTTPOptionItem(net::HTTPOptionItem::FromDword(option, ms)));
    }
}

class ServiceFixture : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_service.Start(0)); }
    void TearDown() override { m_service.Stop(); }

    [[nodiscard]] std::wstring Url(const std::wstring& path) const { return m_service.BaseUrl() + path; }

    // Runs a call that may block on a misbehaving service on a thread of its own. False when it has not ended
    // within the deadline; the service is then stopped, which ends the call.
    [[nodiscard]] bool EndsWithin(unsigned deadlineMs, const std::function<void()>& call)
    {
        std::atomic<bool> done{false};
        std::thread worker([&] {
            call();
            done = true;
        });
        const bool ended = testing_support::WaitFor([&] { return done.load(); }, deadlineMs);
        if (!ended)
        {
            m_service.Stop();
        }
        worker.join();
        return ended;
    }

    service::ProductService m_service;
};
