// SPDX-License-Identifier: MIT
// The PJLink wire format under arbitrary client bytes, cut into lines at each CR as a session
// cuts them. Whatever a line holds: it parses without harm, a command read from it has a name
// of four letters or digits and a printable parameter of at most 128 bytes, and every reply
// written for it is one line: its header, no CR but the last.
#include "fuzz_check.h"
#include "service/pjlink_protocol.h"

#include <QByteArray>
#include <QList>

#include <cstddef>
#include <cstdint>

namespace {

void checkReply(const QByteArray &reply)
{
    FUZZ_CHECK(reply.endsWith('\r') && reply.count('\r') == 1, "a reply is one line");
    FUZZ_CHECK(reply.startsWith('%') && reply.size() >= 8 && reply[6] == '=',
               "a reply starts with its header");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const QByteArray &line : input.split('\r')) {
        if (const auto login = pjlink::splitLogin(line)) {
            FUZZ_CHECK(login->digest.size() == pjlink::kDigestLength, "a digest of 32");
            FUZZ_CHECK(login->digest + login->rest == line.toLower().left(32) + line.sliced(32),
                       "the login splits the line without losing a byte");
        }
        const pjlink::ParsedLine parsed = pjlink::parseLine(line);
        if (parsed.kind == pjlink::LineKind::Unreadable)
            continue;
        const pjlink::Command &command = parsed.command;
        FUZZ_CHECK(command.name.size() == 4, "a name of four");
        for (const char c : command.name)
            FUZZ_CHECK((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'), "a name of capitals");
        if (parsed.kind == pjlink::LineKind::Command) {
            FUZZ_CHECK(command.parameter.size() <= pjlink::kMaxParameter, "a parameter of 128");
            for (const char c : command.parameter)
                FUZZ_CHECK(c >= 0x20 && c <= 0x7e, "a printable parameter");
        }
        checkReply(pjlink::reply(command, pjlink::Code::UnavailableTime));
        checkReply(pjlink::reply(command, command.parameter));
        checkReply(pjlink::reply(command, line));
    }
    return 0;
}
