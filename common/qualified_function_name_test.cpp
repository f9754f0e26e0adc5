#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "common/trace_client.h"

namespace {

std::string Name(const char* pretty) { return vz::QualifiedFunctionName(pretty); }

TEST(QualifiedFunctionNameTest, DropsReturnTypeAndParameters) {
  EXPECT_EQ(Name("void CAppComponentsController::StartDS(int)"), "CAppComponentsController::StartDS");
  EXPECT_EQ(Name("int main()"), "main");
  EXPECT_EQ(Name("CFoo::CFoo()"), "CFoo::CFoo");
  EXPECT_EQ(Name("virtual CFoo::~CFoo()"), "CFoo::~CFoo");
  EXPECT_EQ(Name("static const char* vz::Name(const char*)"), "vz::Name");
  EXPECT_EQ(Name("const char *vz::Name(const char *)"), "vz::Name");  // Clang's spacing
  EXPECT_EQ(Name("const std::string &CFoo::Get() const"), "CFoo::Get");
  EXPECT_EQ(Name("std::map<int, std::pair<int, int> > ns::C<T>::Get() const [with T = int]"), "ns::C<T>::Get");
  EXPECT_EQ(Name("void ns::C<int>::Put(T) [T = int]"), "ns::C<int>::Put");
  EXPECT_EQ(Name("void (* CFoo::Handler(int))(char)"), "CFoo::Handler");
  EXPECT_EQ(Name(nullptr), "");
  EXPECT_EQ(Name(""), "");
}

TEST(QualifiedFunctionNameTest, AnonymousNamespacesVanish) {
  EXPECT_EQ(Name("void {anonymous}::Helper()"), "Helper");
  EXPECT_EQ(Name("void (anonymous namespace)::Helper()"), "Helper");
  EXPECT_EQ(Name("int vz::{anonymous}::CPipe::Read(char*)"), "vz::CPipe::Read");
  EXPECT_EQ(Name("int vz::(anonymous namespace)::CPipe::Read(char *)"), "vz::CPipe::Read");
}

TEST(QualifiedFunctionNameTest, Operators) {
  EXPECT_EQ(Name("bool CFoo::operator==(const CFoo&) const"), "CFoo::operator==");
  EXPECT_EQ(Name("bool operator<(const A&, const A&)"), "operator<");
  EXPECT_EQ(Name("std::ostream& operator<<(std::ostream&, const CFoo&)"), "operator<<");
  EXPECT_EQ(Name("CFoo& CFoo::operator>>=(int)"), "CFoo::operator>>=");
  EXPECT_EQ(Name("CFoo* CFoo::operator->()"), "CFoo::operator->");
  EXPECT_EQ(Name("void CFoo::operator()(int)"), "CFoo::operator()");
  EXPECT_EQ(Name("int& CFoo::operator[](int)"), "CFoo::operator[]");
  EXPECT_EQ(Name("CFoo::operator bool() const"), "CFoo::operator bool");
  EXPECT_EQ(Name("CFoo::operator std::vector<int>() const"), "CFoo::operator std::vector<int>");
  EXPECT_EQ(Name("static void* CFoo::operator new(size_t)"), "CFoo::operator new");
  EXPECT_EQ(Name("void CFoo::operator delete [](void*)"), "CFoo::operator delete []");
  EXPECT_EQ(Name("int CFoo::operatorCount()"), "CFoo::operatorCount");
}

TEST(QualifiedFunctionNameTest, Lambdas) {
  EXPECT_EQ(Name("CFoo::Bar(int)::<lambda(int)>"), "CFoo::Bar::<lambda>");
  EXPECT_EQ(Name("CFoo::Bar() const::<lambda()>"), "CFoo::Bar::<lambda>");
  EXPECT_EQ(Name("CFoo::Bar() const &&::<lambda()>"), "CFoo::Bar::<lambda>");
  EXPECT_EQ(Name("TF<int>(int)::<lambda()>"), "TF<int>::<lambda>");
  EXPECT_EQ(Name("auto TF(int)::(anonymous class)::operator()() const"), "TF::<lambda>");
  EXPECT_EQ(Name("ns::F<T>()::<lambda()> [with T = int]"), "ns::F<T>::<lambda>");
  EXPECT_EQ(Name("auto CFoo::Bar(int)::(lambda at x.cpp:3:14)::operator()(int) const"), "CFoo::Bar::<lambda>");
  EXPECT_EQ(Name("auto CFoo::Bar()::(anonymous class)::operator()() const"), "CFoo::Bar::<lambda>");
}

struct Probe {
  std::string Method() const { return VZ_FUNC; }
  std::string FromLambda() const {
    return [] { return std::string(VZ_FUNC); }();
  }
};

TEST(QualifiedFunctionNameTest, ThisCompilersSpelling) {
  EXPECT_EQ(Probe().Method(), "Probe::Method");
  EXPECT_EQ(Probe().FromLambda(), "Probe::FromLambda::<lambda>");
}

TEST(QualifiedFunctionNameTest, LongNamesAreCutAndTerminated) {
  const std::string pretty = "void " + std::string(2000, 'x') + "()";
  const std::string name = Name(pretty.c_str());
  EXPECT_EQ(name.size(), 511u);
  EXPECT_EQ(name, std::string(511, 'x'));
}

TEST(QualifiedFunctionNameTest, EachThreadHasItsOwnBuffer) {
  const char* mine = vz::QualifiedFunctionName("void A::Mine()");
  std::thread other([] { vz::QualifiedFunctionName("void B::Theirs()"); });
  other.join();
  EXPECT_STREQ(mine, "A::Mine");
}

}  // namespace
