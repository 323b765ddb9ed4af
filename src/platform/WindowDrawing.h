#pragma once
// Drawing straight into a window outside its repaint, and pausing between
// such drawings (an outline flashed on the map). Whoever hosts the windows
// decides what that means: the headless default hands out a recording
// context per window, keeps what was drawn for tests and transcripts, and
// notes the pauses without waiting; a desktop host paints on the window and
// really waits, keeping its event loop alive.
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/WinDef.h"

class CDC;
class CRecordingDC;

class IWindowDrawingService {
public:
    virtual ~IWindowDrawingService() = default;
    // A context drawing into the window's client area; never null.
    virtual CDC* GetWindowDC(HWND window) = 0;
    // Gives the context back; the window keeps what was drawn until it repaints.
    virtual void ReleaseWindowDC(HWND window, CDC* dc) = 0;
    // Lets `milliseconds` pass so the user sees what was drawn.
    virtual void Pause(unsigned milliseconds) = 0;
};

// Never null: without a service set, the default HeadlessWindowDrawing answers.
IWindowDrawingService* GetWindowDrawingService();
IWindowDrawingService* SetWindowDrawingService(IWindowDrawingService* service);  // null restores the default

class WindowDrawingScope {
public:
    explicit WindowDrawingScope(IWindowDrawingService& service) : m_previous(SetWindowDrawingService(&service)) {}
    ~WindowDrawingScope() { SetWindowDrawingService(m_previous); }
    WindowDrawingScope(const WindowDrawingScope&) = delete;
    WindowDrawingScope& operator=(const WindowDrawingScope&) = delete;

private:
    IWindowDrawingService* m_previous;
};

// The calls of the platform's window API, through the current service.
CDC* GetWindowDC(HWND window);
void ReleaseWindowDC(HWND window, CDC* dc);
void PauseForDisplay(unsigned milliseconds);

// Records what is drawn into each window (one recording context per window,
// kept across calls, so the lines add up) and the pauses asked for, without
// waiting. Contexts not given back are counted, not leaked.
class HeadlessWindowDrawing : public IWindowDrawingService {
public:
    HeadlessWindowDrawing();
    ~HeadlessWindowDrawing() override;

    CDC* GetWindowDC(HWND window) override;
    void ReleaseWindowDC(HWND window, CDC* dc) override;
    void Pause(unsigned milliseconds) override;

    // What was drawn into the window, as CRecordingDC lines ("pen solid 3 0x0000FF", "moveto 1 2", ...).
    std::vector<std::string> Lines(HWND window) const;
    void Clear();
    // The pauses asked for, in order, in milliseconds.
    const std::vector<unsigned>& Pauses() const { return m_pauses; }
    // Contexts handed out and not given back yet.
    int OutstandingContexts() const { return m_outstanding; }

private:
    std::map<HWND, std::unique_ptr<CRecordingDC>> m_contexts;
    std::vector<unsigned> m_pauses;
    int m_outstanding = 0;
};
