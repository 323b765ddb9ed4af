#pragma once
// A modal runner for dialog tests: each dialog that opens runs the next queued
// step; a dialog opening with none left ends at once (DoModal: IDCANCEL).
#include <deque>
#include <functional>
#include <utility>

#include "platform/CDialog.h"
#include "platform/Services.h"

namespace moduletest {

class StepRunner : public IModalRunner {
public:
    using Step = std::function<void(CDialog&)>;
    void Then(Step step) { m_steps.push_back(std::move(step)); }
    void Run(CDialog& dialog) override {
        if (m_steps.empty()) return;
        Step step = std::move(m_steps.front());
        m_steps.pop_front();
        step(dialog);
    }
    size_t Pending() const { return m_steps.size(); }

private:
    std::deque<Step> m_steps;
};

}  // namespace moduletest
