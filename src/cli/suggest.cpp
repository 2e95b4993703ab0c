// SPDX-License-Identifier: MIT
#include "cli/suggest.h"

#include "protocol/catalogue.h"

#include <algorithm>
#include <vector>

namespace {

// Every segment of one name starts the matching segment of the other: "vol-up" for
// "volume-up", "temperature" for "temp".
bool abbreviates(const QString &unknown, const QString &name)
{
    const QStringList a = unknown.split(u'-'), b = name.split(u'-');
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i) {
        const QString &shorter = a[i].size() < b[i].size() ? a[i] : b[i];
        const QString &longer = a[i].size() < b[i].size() ? b[i] : a[i];
        if (shorter.size() < 2 || !longer.startsWith(shorter))
            return false;
    }
    return true;
}

} // namespace

int editDistance(QStringView a, QStringView b)
{
    // Three rows of the table: two letters swapped are one slip of the fingers, not two.
    const size_t n = size_t(b.size()) + 1;
    std::vector<int> before(n), previous(n), row(n);
    for (size_t j = 0; j < n; ++j)
        previous[j] = int(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        row[0] = int(i);
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const size_t k = size_t(j);
            const int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            row[k] = std::min({previous[k] + 1, row[k - 1] + 1, previous[k - 1] + cost});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                row[k] = std::min(row[k], before[k - 2] + 1);
        }
        std::swap(before, previous);
        std::swap(previous, row);
    }
    return previous.back();
}

QStringList nearestNames(const QString &unknown, int most)
{
    const QString wanted = unknown.toLower();
    QStringList names;
    for (const protocol::Command &c : protocol::commands())
        names << QString::fromLatin1(c.name);
    names << QStringLiteral("send") << QStringLiteral("list");

    // Typos first, by how few; then names that contain it or that it abbreviates, in the
    // catalogue's order (which keeps pairs such as on and off together).
    struct Candidate
    {
        int score;
        qsizetype order;
        QString name;
    };
    std::vector<Candidate> found;
    // Two slips in a short name make another word ("lamp" and "temp").
    const int typos = wanted.size() <= 4 ? 1 : 2;
    for (qsizetype i = 0; i < names.size(); ++i) {
        const int d = editDistance(wanted, names[i]);
        if (d <= typos)
            found.push_back({d, i, names[i]});
        else if ((wanted.size() >= 3 && names[i].contains(wanted)) || abbreviates(wanted, names[i]))
            found.push_back({typos + 1, i, names[i]});
    }
    std::stable_sort(found.begin(), found.end(), [](const Candidate &x, const Candidate &y) {
        return x.score != y.score ? x.score < y.score : x.order < y.order;
    });
    QStringList out;
    for (const Candidate &c : found) {
        if (out.size() == most)
            break;
        out << c.name;
    }
    return out;
}
