#include "QUser.h"

QUser::QUser(QObject* parent)
    : QObject(parent)
{
}

QUser* QUser::Instance()
{
    static QUser user;
    return &user;
}

void QUser::init() {}

void QUser::setProduct(const QMorProduct& product)
{
    m_product = product;
}

void QUser::online() {}
