#pragma once
// A product service of our own on a free loopback port for each test, stopped when the test ends.

#include "ProductService.h"

#include "support/Wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

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
