#include "status/decoder.h"

namespace status {

std::optional<QString> decodeReply(QStringView, QStringView, qint64 *)
{
    return std::nullopt;
}

} // namespace status
