// The windows' fonts: the Windows names first, then the Chinese faces of a
// Linux desktop, so Chinese text finds a face everywhere.
#pragma once

#include <QFont>
#include <QString>

namespace fonts {

inline QFont chinese(const QString &family, double points, bool bold = false) {
    QFont font;
    font.setFamilies({family, QStringLiteral("Microsoft YaHei"), QStringLiteral("SimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                      QStringLiteral("Noto Sans SC")});
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}
// 微软雅黑 and 宋体, as the windows are designed.
inline QFont yaHei(double points, bool bold = false) {
    return chinese(QStringLiteral("微软雅黑"), points, bold);
}
inline QFont song(double points) {
    return chinese(QStringLiteral("宋体"), points);
}

} // namespace fonts
