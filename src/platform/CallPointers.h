#pragma once
// Pointers that travel in the 32-bit arguments of the command interface.
//
// The host's event entry point takes its value and output as 32-bit integers
// (the platform it was written for had 32-bit pointers). Some events carry
// pointers there: the drawing context of a repaint, the key text and the
// answer string of a prompt query. A pointer does not fit in 32 bits here, so
// the caller registers it for the length of the call and passes the token;
// the callee resolves the token back, checking that it names an object of the
// kind it expects. An unknown token, or one of another kind, resolves to null.
//
//   CCallPointer dc(CallPointerKind::DrawingContext, &recordingDC);
//   MouseStatus(9, dc.token(), 0);
//
// Part of the platform's shared library, so that the host and the module it
// loads share one table.
#include <cstddef>

#include "platform/Types.h"

enum class CallPointerKind : LONG {
    DrawingContext = 1,  // CDC*
    KeyText = 2,         // const char*, zero-terminated GBK
    AnswerString = 3,    // CString* that receives an answer
};

// A nonzero token for the pointer (0 for a null pointer). Tokens are not
// reused while registered.
LONG RegisterCallPointer(CallPointerKind kind, const void* pointer);
// The pointer a live token of that kind names, else null.
void* ResolveCallPointer(LONG token, CallPointerKind kind);
// Forgets a token; unknown tokens are ignored.
void UnregisterCallPointer(LONG token);
// Tokens registered and not yet forgotten (leak checks).
size_t LiveCallPointerCount();

// Registers a pointer for the lifetime of the object.
class CCallPointer {
public:
    CCallPointer(CallPointerKind kind, const void* pointer) : m_token(RegisterCallPointer(kind, pointer)) {}
    ~CCallPointer() { UnregisterCallPointer(m_token); }
    CCallPointer(const CCallPointer&) = delete;
    CCallPointer& operator=(const CCallPointer&) = delete;

    LONG token() const { return m_token; }

private:
    LONG m_token;
};
