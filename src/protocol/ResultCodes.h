#pragma once
// Result codes of the service and the process-wide record of the last failed exchange.

#include <string>
#include <string_view>

namespace vorta {

inline constexpr int kResultOk = 0;
inline constexpr int kResultExchangeFailed = 1;  // the client's own code: no or unreadable answer
inline constexpr int kResultNotRegistered = 100;
inline constexpr int kResultWrongPassword = 102;

// The text as a 32-bit decimal integer with an optional sign; `defaultValue` for an empty text,
// any other character or a value out of range.
int ResultCodeToInt(std::string_view text, int defaultValue);

// Records `code` and its text as the last service error.
void RecordServiceError(int code);

// The code's text for messages about the domain list, without touching the last error.
void ResultCodeText(int code, std::string& text);

// Records a code with a text of the caller's choice.
void RecordServiceError(int code, std::string text);

// The last failed exchange: 0 and empty until the first failure; success does not clear it.
int LastErrorCode();
std::string LastErrorText();

}  // namespace vorta
