#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <optional>

// A skin file (.ssk): a Qt style sheet with named colours. Layout:
//
//   [Zentavo Skin]          first line that is not blank or a ";" comment
//   Name=Silver             free keys describing the skin
//   [Colors]
//   accent=#3d6fb6          colour names used in the style as @accent
//   [Style]
//   QTreeView { background: @base; }   everything up to the end of the file
//
// A file that breaks this layout, names an unknown colour, has unbalanced braces, is not UTF-8
// text or is larger than 1 MiB does not load.
struct SkinDefinition
{
    QString name;
    QList<QPair<QString, QString>> colors;
    QString styleSheet; // colours substituted
};

std::optional<SkinDefinition> LoadSkinFile(const QString &path, QString *error = nullptr);
std::optional<SkinDefinition> ParseSkin(const QByteArray &bytes, QString *error = nullptr);
