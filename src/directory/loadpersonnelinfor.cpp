#include "loadpersonnelinfor.h"

#include "directory/loadpersonnel.h"

LoadPersonnelinfor::LoadPersonnelinfor(QObject *parent) : QObject(parent)
{
    connect(LoadPersonnel::gestance(), &LoadPersonnel::sigPersonnelLoaded, this,
            &LoadPersonnelinfor::loadedChanged);
    connect(LoadPersonnel::gestance(), &LoadPersonnel::sigPersonnelForgotten, this,
            &LoadPersonnelinfor::loadedChanged);
}

bool LoadPersonnelinfor::loaded() const
{
    return LoadPersonnel::gestance()->loaded();
}

QStringList LoadPersonnelinfor::getPersonnelInformationKey() const
{
    return LoadPersonnel::gestance()->personnelKeys();
}

QString LoadPersonnelinfor::getPersonnelInformationValue(const QString &keys) const
{
    return LoadPersonnel::gestance()->personnelValue(keys);
}
