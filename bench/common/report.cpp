// SPDX-License-Identifier: MIT
#include "report.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>
#include <cmath>

namespace bench {

namespace {

QString number(double v)
{
    const double a = std::fabs(v);
    const int decimals = a >= 100 ? 1 : a >= 10 ? 2 : 3;
    return QString::number(v, 'f', decimals);
}

QString floorText(const Figure &f)
{
    if (!f.floor)
        return QStringLiteral("-");
    if (f.floor->n <= 1)
        return number(f.floor->median);
    return number(f.floor->median) + QStringLiteral(" / ") + number(f.floor->p99);
}

QString result(const Figure &f)
{
    if (!f.met)
        return QStringLiteral("-");
    return *f.met ? QStringLiteral("ok") : QStringLiteral("MISS");
}

} // namespace

QJsonObject Figure::toJson() const
{
    QJsonObject o = value.toJson();
    for (auto it = extra.begin(); it != extra.end(); ++it)
        o.insert(it.key(), it.value());
    o.insert("key", key);
    o.insert("label", label);
    o.insert("unit", unit);
    if (floor) {
        QJsonObject fl = floor->toJson();
        fl.insert("what", floorLabel);
        o.insert("floor", fl);
    }
    if (!target.isEmpty())
        o.insert("target", target);
    if (met)
        o.insert("met", *met);
    if (!note.isEmpty())
        o.insert("note", note);
    return o;
}

Figure Figure::fromJson(const QJsonObject &o)
{
    Figure f;
    f.key = o.value("key").toString();
    f.label = o.value("label").toString();
    f.unit = o.value("unit").toString();
    f.value = Summary::fromJson(o);
    if (o.contains("floor")) {
        const QJsonObject fl = o.value("floor").toObject();
        f.floor = Summary::fromJson(fl);
        f.floorLabel = fl.value("what").toString();
    }
    f.target = o.value("target").toString();
    if (o.contains("met"))
        f.met = o.value("met").toBool();
    f.note = o.value("note").toString();
    static const QStringList known = {"n",    "median", "p99",    "max", "key", "label",
                                      "unit", "floor",  "target", "met", "note"};
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!known.contains(it.key()))
            f.extra.insert(it.key(), it.value());
    return f;
}

void Report::addAll(const QJsonArray &figures)
{
    for (const auto &v : figures)
        add(Figure::fromJson(v.toObject()));
}

QJsonArray Report::toJson() const
{
    QJsonArray a;
    for (const Figure &f : figures_)
        a.append(f.toJson());
    return a;
}

int Report::missed() const
{
    return int(std::count_if(figures_.begin(), figures_.end(),
                             [](const Figure &f) { return f.met && !*f.met; }));
}

void Report::printTable(std::FILE *out) const
{
    const QStringList head = {"figure",          "unit",   "n", "median", "p99", "max",
                              "floor med / p99", "target", ""};
    std::vector<QStringList> rows{head};
    for (const Figure &f : figures_) {
        const bool many = f.value.n > 1;
        rows.push_back({f.label, f.unit, QString::number(f.value.n), number(f.value.median),
                        many ? number(f.value.p99) : "-", many ? number(f.value.max) : "-",
                        floorText(f), f.target.isEmpty() ? "-" : f.target, result(f)});
    }
    std::vector<qsizetype> width(head.size(), 0);
    for (const QStringList &r : rows)
        for (qsizetype i = 0; i < r.size(); ++i)
            width[i] = std::max(width[i], r[i].size());

    auto line = [&](const QStringList &r) {
        QString text;
        for (qsizetype i = 0; i < r.size(); ++i) {
            // Text columns left, numbers right.
            const bool left = i == 0 || i == 1 || i >= 6;
            text += left ? r[i].leftJustified(width[i]) : r[i].rightJustified(width[i]);
            if (i + 1 < r.size())
                text += QStringLiteral("  ");
        }
        std::fprintf(out, "%s\n", qPrintable(text.trimmed()));
    };
    line(rows.front());
    QString rule;
    for (qsizetype w : width)
        rule += QString(w, QLatin1Char('-')) + QStringLiteral("  ");
    std::fprintf(out, "%s\n", qPrintable(rule.trimmed()));
    for (std::size_t i = 1; i < rows.size(); ++i)
        line(rows[i]);
    for (const Figure &f : figures_)
        if (!f.note.isEmpty())
            std::fprintf(out, "  %s: %s\n", qPrintable(f.label), qPrintable(f.note));
}

bool writeJson(const QString &path, const QJsonObject &doc)
{
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        out.write(QJsonDocument(doc).toJson()) < 0) {
        std::fprintf(stderr, "cannot write %s: %s\n", qPrintable(path),
                     qPrintable(out.errorString()));
        return false;
    }
    return true;
}

} // namespace bench
