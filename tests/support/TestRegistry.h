#pragma once

#include <QObject>
#include <functional>
#include <memory>
#include <vector>

namespace vorlune::test {

using TestFactory = std::function<std::unique_ptr<QObject>()>;

std::vector<TestFactory> &registeredTests();

struct Registration {
    explicit Registration(TestFactory factory) { registeredTests().push_back(std::move(factory)); }
};

} // namespace vorlune::test

// Registers a QtTest class with the folder's test program.
#define VORLUNE_TEST(Class)                                                                                            \
    static const ::vorlune::test::Registration registration_##Class([] { return std::unique_ptr<QObject>(new Class); });
