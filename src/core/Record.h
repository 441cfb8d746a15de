// One collected text: a row of the library's table VBcode.
#pragma once

#include <QString>

struct Record {
    qint64 id = 0;       // ID: the key every change finds the record by
    QString group;       // MoudleName: the group the user files it under
    QString category;    // TypeName: "Function", "Sub", "Class", "API" or anything the user typed
    QString title;       // CodeName: what the lists show
    QString text;        // Code: the collected text itself
    QString changeTime;  // ChangeTime: "yyyyMMddHHmmss" of the last change
    bool common = false; // IsUsed: "常用" when set
};

// IsUsed of a record marked as common, and the name of the category that lists them.
inline const QString CommonFlag = QStringLiteral("常用");
// The special-attention mark at the start of a title; such records are drawn red.
inline const QString SpecialMark = QStringLiteral("★★　");
// What the lists look for to draw a title red.
inline const QString SpecialStars = QStringLiteral("★★");
// New texts draw their key from 0 to 999999.
constexpr int NewKeyRange = 1000000;
