// The document tool's walker of name trees and number trees, on trees built in memory: pairs come
// in tree order from every level, /Limits steer a lookup, and /Kids that loop, share a node, go too
// deep or hold no pairs end the walk instead of repeating it.
#include <QList>
#include <QStringList>
#include <QtTest>

#include "MuPdfSession.h"
#include "PdfTreeWalker.h"

using Kind = PdfTreeWalker::Kind;

class tst_PdfTreeWalker : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void readsNamesFromKidsSeveralLevelsDeep();
    void findsEveryNameItHolds();
    void lookupFollowsLimits();
    void readsEachNodeOnceWhenKidsLoop();
    void readsASharedNodeOnce();
    void stopsBelowTheDepthBound();
    void readsPageLabelsAcrossKids();
    void missingPairsHoldNothing();

private:
    // A new empty node (an indirect dictionary of the test document).
    pdf_obj* node();
    void addKids(pdf_obj* parent, const QList<pdf_obj*>& kids);
    // Pairs "key" -> "value of key" under /Names, and key -> 1000 + key under /Nums.
    void addNames(pdf_obj* node, const QList<QByteArray>& keys);
    void addNumbers(pdf_obj* node, const QList<int>& keys);
    void setLimits(pdf_obj* node, const QByteArray& low, const QByteArray& high);
    void setLimits(pdf_obj* node, int low, int high);

    // "key=value" for every pair the walker reads.
    QStringList pairsOf(pdf_obj* root, Kind kind);
    // The value the walker finds under key, "none" for none.
    QString findName(pdf_obj* root, const QByteArray& key);
    QString findNumber(pdf_obj* root, int key);
    // Takes key.
    QString findKey(pdf_obj* root, Kind kind, pdf_obj* key);
    QString describe(pdf_obj* object);

    MuPdfSession m_session;
    pdf_document* m_document = nullptr;
    QList<pdf_obj*> m_nodes;
};

void tst_PdfTreeWalker::init()
{
    fz_context* context = m_session.context();
    m_session.run([&] { m_document = pdf_create_document(context); });
}

void tst_PdfTreeWalker::cleanup()
{
    fz_context* context = m_session.context();
    for (pdf_obj* object : m_nodes)
        pdf_drop_obj(context, object);
    m_nodes.clear();
    pdf_drop_document(context, m_document);
    m_document = nullptr;
}

pdf_obj* tst_PdfTreeWalker::node()
{
    fz_context* context = m_session.context();
    pdf_obj* created = nullptr;
    m_session.run([&] { created = pdf_add_new_dict(context, m_document, 2); });
    m_nodes.append(created);
    return created;
}

void tst_PdfTreeWalker::addKids(pdf_obj* parent, const QList<pdf_obj*>& kids)
{
    fz_context* context = m_session.context();
    m_session.run([&] {
        pdf_obj* array = pdf_dict_put_array(context, parent, PDF_NAME(Kids), kids.size());
        for (pdf_obj* kid : kids)
            pdf_array_push(context, array, kid);
    });
}

void tst_PdfTreeWalker::addNames(pdf_obj* node, const QList<QByteArray>& keys)
{
    fz_context* context = m_session.context();
    for (const QByteArray& key : keys) {
        const QByteArray value = "value of " + key;
        m_session.run([&] {
            pdf_obj* array = pdf_dict_get(context, node, PDF_NAME(Names));
            if (!array)
                array = pdf_dict_put_array(context, node, PDF_NAME(Names), 2);
            pdf_array_push_string(context, array, key.constData(), size_t(key.size()));
            pdf_array_push_string(context, array, value.constData(), size_t(value.size()));
        });
    }
}

void tst_PdfTreeWalker::addNumbers(pdf_obj* node, const QList<int>& keys)
{
    fz_context* context = m_session.context();
    m_session.run([&] {
        pdf_obj* array = pdf_dict_put_array(context, node, PDF_NAME(Nums), 2 * keys.size());
        for (int key : keys) {
            pdf_array_push_int(context, array, key);
            pdf_array_push_int(context, array, 1000 + key);
        }
    });
}

void tst_PdfTreeWalker::setLimits(pdf_obj* node, const QByteArray& low, const QByteArray& high)
{
    fz_context* context = m_session.context();
    m_session.run([&] {
        pdf_obj* limits = pdf_dict_put_array(context, node, PDF_NAME(Limits), 2);
        pdf_array_push_string(context, limits, low.constData(), size_t(low.size()));
        pdf_array_push_string(context, limits, high.constData(), size_t(high.size()));
    });
}

void tst_PdfTreeWalker::setLimits(pdf_obj* node, int low, int high)
{
    fz_context* context = m_session.context();
    m_session.run([&] {
        pdf_obj* limits = pdf_dict_put_array(context, node, PDF_NAME(Limits), 2);
        pdf_array_push_int(context, limits, low);
        pdf_array_push_int(context, limits, high);
    });
}

QString tst_PdfTreeWalker::describe(pdf_obj* object)
{
    fz_context* context = m_session.context();
    const char* bytes = nullptr;
    size_t length = 0;
    int number = 0;
    bool isString = false;
    bool isInt = false;
    m_session.run([&] {
        isString = pdf_is_string(context, object);
        isInt = pdf_is_int(context, object);
        bytes = pdf_to_str_buf(context, object);
        length = pdf_to_str_len(context, object);
        number = pdf_to_int(context, object);
    });
    if (isString)
        return QString::fromLatin1(bytes, int(length));
    return isInt ? QString::number(number) : QString("none");
}

QStringList tst_PdfTreeWalker::pairsOf(pdf_obj* root, Kind kind)
{
    QStringList lines;
    for (const PdfTreeWalker::Pair& pair : PdfTreeWalker::pairs(m_session, root, kind))
        lines << describe(pair.key) + "=" + describe(pair.value);
    return lines;
}

QString tst_PdfTreeWalker::findKey(pdf_obj* root, Kind kind, pdf_obj* key)
{
    fz_context* context = m_session.context();
    pdf_obj* found = nullptr;
    m_session.run([&] { found = PdfTreeWalker::find(context, root, kind, key); });
    pdf_drop_obj(context, key);
    return describe(found);
}

QString tst_PdfTreeWalker::findName(pdf_obj* root, const QByteArray& key)
{
    fz_context* context = m_session.context();
    pdf_obj* needle = nullptr;
    m_session.run([&] { needle = pdf_new_string(context, key.constData(), size_t(key.size())); });
    return findKey(root, Kind::Names, needle);
}

QString tst_PdfTreeWalker::findNumber(pdf_obj* root, int key)
{
    fz_context* context = m_session.context();
    pdf_obj* needle = nullptr;
    m_session.run([&] { needle = pdf_new_int(context, key); });
    return findKey(root, Kind::Numbers, needle);
}

void tst_PdfTreeWalker::readsNamesFromKidsSeveralLevelsDeep()
{
    // root -> two middle nodes -> two leaves each; the root holds one pair of its own, which comes
    // before those of its kids.
    pdf_obj* root = node();
    pdf_obj* left = node();
    pdf_obj* right = node();
    QList<pdf_obj*> leaves;
    for (int i = 0; i < 4; ++i)
        leaves << node();
    addKids(root, {left, right});
    addKids(left, {leaves[0], leaves[1]});
    addKids(right, {leaves[2], leaves[3]});
    addNames(root, {"00"});
    addNames(leaves[0], {"a1", "a2"});
    addNames(leaves[1], {"b1"});
    addNames(leaves[2], {"c1", "c2", "c3"});
    addNames(leaves[3], {"d1"});

    QCOMPARE(pairsOf(root, Kind::Names),
             QStringList({"00=value of 00", "a1=value of a1", "a2=value of a2", "b1=value of b1",
                          "c1=value of c1", "c2=value of c2", "c3=value of c3", "d1=value of d1"}));
    // A subtree reads on its own.
    QCOMPARE(pairsOf(right, Kind::Names),
             QStringList({"c1=value of c1", "c2=value of c2", "c3=value of c3", "d1=value of d1"}));
}

void tst_PdfTreeWalker::findsEveryNameItHolds()
{
    pdf_obj* root = node();
    pdf_obj* middle = node();
    pdf_obj* sorted = node();
    pdf_obj* unsorted = node();
    addKids(root, {middle});
    addKids(middle, {sorted, unsorted});
    addNames(sorted, {"apple", "apples", "banana", "cherry", "date"});
    // Out of order, as some writers leave their leaves.
    addNames(unsorted, {"zebra", "kiwi", "mango"});

    for (const QByteArray key : {"apple", "apples", "banana", "cherry", "date", "zebra", "kiwi", "mango"})
        QCOMPARE(findName(root, key), QString::fromLatin1("value of " + key));
    QCOMPARE(findName(root, "appl"), QString("none"));
    QCOMPARE(findName(root, "applesauce"), QString("none"));
    QCOMPARE(findName(root, ""), QString("none"));
}

void tst_PdfTreeWalker::lookupFollowsLimits()
{
    // The second leaf holds "m2" but its /Limits leave it out: a lookup trusts the limits and skips
    // the leaf and everything under it, while reading all pairs does not.
    pdf_obj* root = node();
    pdf_obj* first = node();
    pdf_obj* second = node();
    pdf_obj* below = node();
    addKids(root, {first, second});
    addKids(second, {below});
    addNames(first, {"a", "b"});
    setLimits(first, "a", "b");
    addNames(second, {"m1", "m2"});
    setLimits(second, "m1", "m1");
    addNames(below, {"m3"});

    QCOMPARE(findName(root, "a"), QString("value of a"));
    QCOMPARE(findName(root, "m1"), QString("value of m1"));
    QCOMPARE(findName(root, "m2"), QString("none"));
    QCOMPARE(findName(root, "m3"), QString("none"));
    QCOMPARE(findName(second, "m1"), QString("value of m1"));
    QCOMPARE(pairsOf(root, Kind::Names), QStringList({"a=value of a", "b=value of b", "m1=value of m1",
                                                      "m2=value of m2", "m3=value of m3"}));
}

void tst_PdfTreeWalker::readsEachNodeOnceWhenKidsLoop()
{
    // root -> a -> b, with a leading back to root and to itself, b back to a and root.
    pdf_obj* root = node();
    pdf_obj* a = node();
    pdf_obj* b = node();
    addKids(root, {a, root});
    addKids(a, {root, a, b});
    addKids(b, {a, b, root});
    addNames(root, {"r"});
    addNames(a, {"x"});
    addNames(b, {"y"});

    QCOMPARE(pairsOf(root, Kind::Names), QStringList({"r=value of r", "x=value of x", "y=value of y"}));
    QCOMPARE(pairsOf(b, Kind::Names), QStringList({"y=value of y", "x=value of x", "r=value of r"}));
    QCOMPARE(findName(root, "y"), QString("value of y"));
    QCOMPARE(findName(root, "missing"), QString("none"));
}

void tst_PdfTreeWalker::readsASharedNodeOnce()
{
    pdf_obj* root = node();
    pdf_obj* left = node();
    pdf_obj* right = node();
    pdf_obj* shared = node();
    addKids(root, {left, right});
    addKids(left, {shared});
    addKids(right, {shared, shared});
    addNumbers(left, {1});
    addNumbers(right, {5});
    addNumbers(shared, {3});

    QCOMPARE(pairsOf(root, Kind::Numbers), QStringList({"1=1001", "3=1003", "5=1005"}));
}

void tst_PdfTreeWalker::stopsBelowTheDepthBound()
{
    // A chain 40 nodes long, each with the pair of its depth: the root and 32 levels below it count.
    QList<pdf_obj*> chain;
    for (int depth = 0; depth < 40; ++depth) {
        chain << node();
        addNumbers(chain.last(), {depth});
        if (depth > 0)
            addKids(chain[depth - 1], {chain.last()});
    }
    const QStringList pairs = pairsOf(chain.first(), Kind::Numbers);
    QCOMPARE(pairs.size(), PdfTreeWalker::kMaxDepth + 1);
    QCOMPARE(pairs.first(), QString("0=1000"));
    QCOMPARE(pairs.last(), QString("32=1032"));
    QCOMPARE(findNumber(chain.first(), 32), QString("1032"));
    QCOMPARE(findNumber(chain.first(), 33), QString("none"));
    QCOMPARE(findNumber(chain[10], 42), QString("none"));
    QCOMPARE(findNumber(chain[10], 39), QString("1039"));
}

void tst_PdfTreeWalker::readsPageLabelsAcrossKids()
{
    // The labels of a long document in two leaves under one middle node, each with its /Limits.
    pdf_obj* root = node();
    pdf_obj* middle = node();
    pdf_obj* front = node();
    pdf_obj* body = node();
    addKids(root, {middle});
    addKids(middle, {front, body});
    addNumbers(front, {0, 4});
    setLimits(front, 0, 4);
    addNumbers(body, {12, 40, 300});
    setLimits(body, 12, 300);

    QCOMPARE(pairsOf(root, Kind::Numbers),
             QStringList({"0=1000", "4=1004", "12=1012", "40=1040", "300=1300"}));
    QCOMPARE(findNumber(root, 0), QString("1000"));
    QCOMPARE(findNumber(root, 40), QString("1040"));
    QCOMPARE(findNumber(root, 300), QString("1300"));
    QCOMPARE(findNumber(root, 5), QString("none"));
    QCOMPARE(findNumber(root, 301), QString("none"));
    // A number tree keeps its pairs under /Nums: read as a name tree, it holds none.
    QCOMPARE(pairsOf(root, Kind::Names), QStringList());
    QCOMPARE(findName(root, "0"), QString("none"));
}

void tst_PdfTreeWalker::missingPairsHoldNothing()
{
    fz_context* context = m_session.context();
    // Kids without /Names, kids that are no dictionaries, and a last key without its value.
    pdf_obj* root = node();
    pdf_obj* empty = node();
    pdf_obj* leaf = node();
    pdf_obj* odd = node();
    addKids(root, {empty, leaf, odd});
    addNames(leaf, {"k"});
    m_session.run([&] {
        pdf_obj* kids = pdf_dict_get(context, root, PDF_NAME(Kids));
        pdf_array_insert_drop(context, kids, pdf_new_int(context, 7), 0);
        pdf_array_push(context, kids, PDF_NULL);
        pdf_array_push_drop(context, kids, pdf_new_array(context, m_document, 0));
        pdf_array_push_drop(context, kids, pdf_new_indirect(context, m_document, 999999, 0));
        pdf_dict_put_array(context, empty, PDF_NAME(Kids), 0);
        pdf_obj* pairs = pdf_dict_put_array(context, odd, PDF_NAME(Names), 3);
        pdf_array_push_string(context, pairs, "o", 1);
        pdf_array_push_string(context, pairs, "value of o", 10);
        pdf_array_push_string(context, pairs, "p", 1);
    });

    QCOMPARE(pairsOf(root, Kind::Names), QStringList({"k=value of k", "o=value of o"}));
    QCOMPARE(findName(root, "p"), QString("none"));
    QCOMPARE(findName(root, "o"), QString("value of o"));
    QCOMPARE(pairsOf(empty, Kind::Names), QStringList());
    QCOMPARE(pairsOf(nullptr, Kind::Names), QStringList());
    QCOMPARE(findName(nullptr, "k"), QString("none"));
    pdf_obj* notADictionary = nullptr;
    m_session.run([&] { notADictionary = pdf_new_int(context, 3); });
    QCOMPARE(pairsOf(notADictionary, Kind::Numbers), QStringList());
    QCOMPARE(findNumber(notADictionary, 3), QString("none"));
    pdf_drop_obj(context, notADictionary);
}

QTEST_GUILESS_MAIN(tst_PdfTreeWalker)
#include "tst_pdftreewalker.moc"
