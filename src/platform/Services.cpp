#include "platform/Services.h"

#include <algorithm>
#include <cstring>

#include "platform/Gbk.h"
#include "platform/PlatformError.h"

namespace {
IModalRunner* g_runner = nullptr;
IMessageService* g_messageService = nullptr;

std::vector<IPlatformObserver*>& Observers() {
    static std::vector<IPlatformObserver*> observers;
    return observers;
}

std::vector<CString>& Diagnostics() {
    static std::vector<CString> diagnostics;
    return diagnostics;
}

UINT Buttons(UINT type) { return type & MB_TYPEMASK; }

// The answers each button set offers, default button first in template order.
std::vector<int> AnswersOf(UINT type) {
    switch (Buttons(type)) {
    case MB_OK: return {IDOK};
    case MB_OKCANCEL: return {IDOK, IDCANCEL};
    case MB_ABORTRETRYIGNORE: return {IDABORT, IDRETRY, IDIGNORE};
    case MB_YESNOCANCEL: return {IDYES, IDNO, IDCANCEL};
    case MB_YESNO: return {IDYES, IDNO};
    case MB_RETRYCANCEL: return {IDRETRY, IDCANCEL};
    default: return {IDOK};
    }
}

}  // namespace

IModalRunner* GetModalRunner() { return g_runner; }

IModalRunner* SetModalRunner(IModalRunner* runner) {
    IModalRunner* previous = g_runner;
    g_runner = runner;
    return previous;
}

HeadlessMessageService& GetDefaultMessageService() {
    static HeadlessMessageService service;
    return service;
}

IMessageService* GetMessageService() { return g_messageService ? g_messageService : &GetDefaultMessageService(); }

IMessageService* SetMessageService(IMessageService* service) {
    IMessageService* previous = g_messageService;
    g_messageService = service;
    return previous;
}

int ShowMessageBox(const char* text, const char* caption, UINT type) {
    MessageBoxRecord record;
    record.text = CString(text);
    record.caption = CString(caption);
    record.type = type;
    record.answer = GetMessageService()->Show(record.text, record.caption, type);
    ForEachPlatformObserver([&](IPlatformObserver& o) { o.OnMessageBox(record); });
    return record.answer;
}

int AfxMessageBox(const char* text, UINT type) { return ShowMessageBox(text, nullptr, type); }

const char* MessageBoxIconName(UINT type) {
    switch (type & MB_ICONMASK) {
    case MB_ICONSTOP: return "stop";
    case MB_ICONQUESTION: return "question";
    case MB_ICONEXCLAMATION: return "exclamation";
    case MB_ICONINFORMATION: return "information";
    default: return "";
    }
}

const char* MessageBoxButtonsName(UINT type) {
    switch (Buttons(type)) {
    case MB_OK: return "ok";
    case MB_OKCANCEL: return "okcancel";
    case MB_ABORTRETRYIGNORE: return "abortretryignore";
    case MB_YESNOCANCEL: return "yesnocancel";
    case MB_YESNO: return "yesno";
    case MB_RETRYCANCEL: return "retrycancel";
    default: return "ok";
    }
}

const char* MessageBoxAnswerName(int answer) {
    switch (answer) {
    case IDOK: return "ok";
    case IDCANCEL: return "cancel";
    case IDABORT: return "abort";
    case IDRETRY: return "retry";
    case IDIGNORE: return "ignore";
    case IDYES: return "yes";
    case IDNO: return "no";
    default: return "?";
    }
}

int ParseMessageBoxAnswer(const char* name) {
    if (!name) return 0;
    for (int answer : {IDOK, IDCANCEL, IDABORT, IDRETRY, IDIGNORE, IDYES, IDNO}) {
        if (CString(name).CompareNoCase(MessageBoxAnswerName(answer)) == 0) return answer;
    }
    return 0;
}

bool MessageBoxAnswerFits(UINT type, int answer) {
    const std::vector<int> answers = AnswersOf(type);
    return std::find(answers.begin(), answers.end(), answer) != answers.end();
}

int MessageBoxDefaultAnswer(UINT type) {
    const std::vector<int> answers = AnswersOf(type);
    const size_t index = (type & MB_DEFMASK) >> 8;
    return index < answers.size() ? answers[index] : answers.front();
}

int HeadlessMessageService::Show(const CString& text, const CString& caption, UINT type) {
    int answer = MessageBoxDefaultAnswer(type);
    if (!m_answers.empty()) {
        const int queued = m_answers.front();
        m_answers.pop_front();
        if (MessageBoxAnswerFits(type, queued)) {
            answer = queued;
        } else {
            CString error;
            error.Format("the answer \"%s\" does not fit the %s box \"%s\"; answered \"%s\"",
                         MessageBoxAnswerName(queued), MessageBoxButtonsName(type), text.GetString(),
                         MessageBoxAnswerName(answer));
            m_errors.push_back(error);
        }
    }
    m_records.push_back({text, caption, type, answer});
    return answer;
}

void AddPlatformObserver(IPlatformObserver* observer) {
    if (observer && std::find(Observers().begin(), Observers().end(), observer) == Observers().end()) {
        Observers().push_back(observer);
    }
}

void RemovePlatformObserver(IPlatformObserver* observer) {
    Observers().erase(std::remove(Observers().begin(), Observers().end(), observer), Observers().end());
}

void ForEachPlatformObserver(const std::function<void(IPlatformObserver&)>& fn) {
    const std::vector<IPlatformObserver*> snapshot = Observers();
    for (IPlatformObserver* observer : snapshot) {
        if (std::find(Observers().begin(), Observers().end(), observer) != Observers().end()) fn(*observer);
    }
}

void ReportPlatformDiagnostic(const CString& text) {
    Diagnostics().push_back(text);
    ForEachPlatformObserver([&](IPlatformObserver& o) { o.OnDiagnostic(text); });
}

const std::vector<CString>& GetPlatformDiagnostics() { return Diagnostics(); }
void ClearPlatformDiagnostics() { Diagnostics().clear(); }
