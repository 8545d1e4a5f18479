#include "NamePool.h"

namespace names {

const QList<QByteArray>& pool()
{
    // Non-ASCII names are written as UTF-8 bytes so that the source encoding
    // does not matter.
    static const QList<QByteArray> names{
        "[ABC]bob",
        "[ABC]alice",
        "Zo\xC3\xAB", // Zoë
        "[ABC]carl",
        "Big \"Q\"", // a double quote inside the name
        "-=XYZ=-eve",
        "J\xC3\xBCrgen", // Jürgen
        "[ABC]dora",
        "-=XYZ=-frank",
        "\xD0\x94\xD0\xBC\xD0\xB8\xD1\x82\xD1\x80\xD0\xB8\xD0\xB9", // Дмитрий
        "-=XYZ=-gina",
        "Player",
        "\xE7\x8E\xA9\xE5\xAE\xB6\xE4\xB8\x80", // 玩家一
        "hank",
        "Ir\xC3\xA8ne", // Irène
        "jo.jo",
        "K@rl",
        "lambda",
        "Mister Green",
        "nadia",
        "[ABC]otto",
        "p a u l",
        "Quinn",
        "Ren\xC3\xA9\xE2\x84\xA2", // René™
        "sam",
        "-=XYZ=-tom",
        "Ulla",
        "vic",
        "Walter",
        "xena",
        "yuri",
        "zed",
        "Anna",
        "Boris",
        "Chloe",
        "Dmitri",
        "Elif",
        "Finn",
        "Gus",
        "Hana",
    };
    return names;
}

QByteArray at(qsizetype index)
{
    if (index >= 0 && index < pool().size())
        return pool()[index];
    return "Spectator " + QByteArray::number(index + 1);
}

} // namespace names
