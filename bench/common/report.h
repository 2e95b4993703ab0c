// SPDX-License-Identifier: MIT
#pragma once

#include "stats.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace bench {

// One line of the table and one entry of bench.json: the panel's figure, the floor it is
// measured against in the same run (where there is one), and the target it is held to.
struct Figure
{
    QString key;   // stable name in bench.json, e.g. "rhythm.150ms.error"
    QString label; // the text of the table
    QString unit;
    Summary value;
    std::optional<Summary> floor;
    QString floorLabel; // what the floor is, e.g. "bare QTimer"
    QString target;     // as printed, e.g. "median <= 0.5, p99 <= 2"
    std::optional<bool> met;
    QString note;
    QJsonObject extra; // further detail for bench.json only

    Figure() = default;
    Figure(QString key, QString label, QString unit, Summary value)
        : key(std::move(key)), label(std::move(label)), unit(std::move(unit)),
          value(std::move(value))
    {
    }
    // Another figure of the same measurement: same unit and the same floor, no target.
    Figure sibling(QString otherKey, QString otherLabel, Summary otherValue) const
    {
        Figure f(std::move(otherKey), std::move(otherLabel), unit, std::move(otherValue));
        f.floor = floor;
        f.floorLabel = floorLabel;
        return f;
    }

    QJsonObject toJson() const;
    static Figure fromJson(const QJsonObject &o);
};

class Report
{
public:
    void add(Figure f) { figures_.push_back(std::move(f)); }
    void addAll(const QJsonArray &figures);
    const std::vector<Figure> &figures() const { return figures_; }

    QJsonArray toJson() const;
    void printTable(std::FILE *out) const;
    int missed() const;

private:
    std::vector<Figure> figures_;
};

// Writes doc as JSON to path, replacing what was there; says on stderr when it cannot.
bool writeJson(const QString &path, const QJsonObject &doc);

} // namespace bench
