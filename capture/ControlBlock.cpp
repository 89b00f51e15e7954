#include <atomic>
#include <new>

#include "Unit2.h"

TCaptureControl CaptureControl;

void StoreText(char (&field)[kTextFieldSize], std::string_view text)
{
    const size_t size = std::min(text.size(), kTextFieldSize - 1);
    for (size_t i = 0; i < size; ++i)
        std::atomic_ref<char>(field[i]).store(text[i], std::memory_order_relaxed);
    std::atomic_ref<char>(field[size]).store('\0', std::memory_order_relaxed);
}

std::string LoadText(const char (&field)[kTextFieldSize])
{
    std::string text;
    auto &bytes = const_cast<char(&)[kTextFieldSize]>(field);
    for (size_t i = 0; i < kTextFieldSize - 1; ++i) {
        const char c = std::atomic_ref<char>(bytes[i]).load(std::memory_order_relaxed);
        if (c == '\0')
            break;
        text.push_back(c);
    }
    return text;
}

void ResetControl(TCaptureControl &control)
{
    control.~TCaptureControl();
    new (&control) TCaptureControl{};
}

std::string_view ErrorKindText(int32_t kind)
{
    switch (kind) {
    case ErrorKind::kNoDevice: return "Device отсутствует";
    case ErrorKind::kNoEcu: return "ECU не отвечает";
    case ErrorKind::kTxD: return "Ошибка TxD";
    case ErrorKind::kRxD: return "Ошибка RxD";
    default: return {};
    }
}
