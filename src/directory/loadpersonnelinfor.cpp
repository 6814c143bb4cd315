#include "loadpersonnelinfor.h"

#include "directory/loadpersonnel.h"

LoadPersonnelinfor::LoadPersonnelinfor(QObject *parent) : QObject(parent) {}

QStringList LoadPersonnelinfor::getPersonnelInformationKey() const
{
    return LoadPersonnel::gestance()->personnelKeys();
}

QString LoadPersonnelinfor::getPersonnelInformationValue(const QString &keys) const
{
    return LoadPersonnel::gestance()->personnelValue(keys);
}
