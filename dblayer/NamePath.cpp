#include "NamePath.h"

#include <QObject>
#include <QStringList>

QString CmpFullName(const QObject* component)
{
    QStringList names;
    for (const QObject* o = component; o != nullptr; o = o->parent())
        if (!o->objectName().isEmpty())
            names.prepend(o->objectName());
    return names.join(QLatin1Char('.'));
}
