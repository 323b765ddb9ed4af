#include "platform/WindowDrawing.h"

#include "platform/RecordingDC.h"

namespace {

HeadlessWindowDrawing& DefaultService() {
    static HeadlessWindowDrawing service;
    return service;
}

IWindowDrawingService*& CurrentService() {
    static IWindowDrawingService* service = nullptr;
    return service;
}

}  // namespace

IWindowDrawingService* GetWindowDrawingService() {
    IWindowDrawingService* service = CurrentService();
    return service ? service : &DefaultService();
}

IWindowDrawingService* SetWindowDrawingService(IWindowDrawingService* service) {
    IWindowDrawingService* previous = CurrentService();
    CurrentService() = service;
    return previous;
}

CDC* GetWindowDC(HWND window) { return GetWindowDrawingService()->GetWindowDC(window); }
void ReleaseWindowDC(HWND window, CDC* dc) { GetWindowDrawingService()->ReleaseWindowDC(window, dc); }
void PauseForDisplay(unsigned milliseconds) { GetWindowDrawingService()->Pause(milliseconds); }

HeadlessWindowDrawing::HeadlessWindowDrawing() = default;
HeadlessWindowDrawing::~HeadlessWindowDrawing() = default;

CDC* HeadlessWindowDrawing::GetWindowDC(HWND window) {
    std::unique_ptr<CRecordingDC>& dc = m_contexts[window];
    if (!dc) dc = std::make_unique<CRecordingDC>();
    ++m_outstanding;
    return dc.get();
}

void HeadlessWindowDrawing::ReleaseWindowDC(HWND /*window*/, CDC* dc) {
    if (dc && m_outstanding > 0) --m_outstanding;
}

void HeadlessWindowDrawing::Pause(unsigned milliseconds) { m_pauses.push_back(milliseconds); }

std::vector<std::string> HeadlessWindowDrawing::Lines(HWND window) const {
    const auto it = m_contexts.find(window);
    return it == m_contexts.end() ? std::vector<std::string>{} : it->second->Lines();
}

void HeadlessWindowDrawing::Clear() {
    for (auto& [window, dc] : m_contexts) dc->Clear();
    m_pauses.clear();
}
