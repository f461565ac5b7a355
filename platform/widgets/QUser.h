#pragma once

#include <QObject>

#include "QMorProduct.h"

// The signed-in user of the account library. This build has no accounts: nobody is ever signed
// in; the registered product is kept so that the about dialog can name it.
class QUser : public QObject
{
    Q_OBJECT
public:
    static QUser* Instance();

    void init();
    void setProduct(const QMorProduct& product);
    void online();

    const QMorProduct& product() const { return m_product; }
    bool isLoggedIn() const { return false; }

private:
    explicit QUser(QObject* parent = nullptr);
    QMorProduct m_product;
};
