#include "platform/ModuleOutput.h"

#include <algorithm>

namespace {

std::vector<IModuleOutputObserver*>& Observers() {
    static std::vector<IModuleOutputObserver*> observers;
    return observers;
}

}  // namespace

void ReportModuleOutput(const CString& text) {
    // An observer may remove itself (or another) while it is told.
    const std::vector<IModuleOutputObserver*> snapshot = Observers();
    for (IModuleOutputObserver* observer : snapshot) {
        if (std::find(Observers().begin(), Observers().end(), observer) != Observers().end()) {
            observer->OnModuleOutput(text);
        }
    }
}

void AddModuleOutputObserver(IModuleOutputObserver* observer) {
    if (observer && std::find(Observers().begin(), Observers().end(), observer) == Observers().end()) {
        Observers().push_back(observer);
    }
}

void RemoveModuleOutputObserver(IModuleOutputObserver* observer) {
    Observers().erase(std::remove(Observers().begin(), Observers().end(), observer), Observers().end());
}
