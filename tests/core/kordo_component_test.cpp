// The component holder gives its component back to the factory, and destroys it only when the
// factory does not keep it.
#include "framework/kordo_component.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> gEvents;

class FakeComponent : public Kordo::IComponent {
  public:
    explicit FakeComponent(std::string name) : mName(std::move(name)) {}
    unsigned GetComponentId() const override { return 1; }
    int GetVersion() const override { return 1; }
    void Destroy(int reserved) override
    {
        gEvents.push_back("destroy " + mName + " " + std::to_string(reserved));
    }
    int IsSingleton() const override { return 0; }
    void Initialize(int) override {}
    void Activate() override {}
    void Deactivate() override {}
    void Tick() override {}

  private:
    std::string mName;
};

class FakeFactory : public Kordo::IComponentFactory {
  public:
    Kordo::IComponent* kept = nullptr;
    Kordo::IComponent* Create(unsigned, int) override { return nullptr; }
    int ReleaseComponent(Kordo::IComponent* component) override
    {
        gEvents.push_back(component == kept ? "release kept" : "release other");
        return component == kept;
    }
};

class ComponentHolder : public ::testing::Test {
  protected:
    void SetUp() override
    {
        gEvents.clear();
        Kordo::gComponentFactory = &factory;
    }
    void TearDown() override { Kordo::gComponentFactory = nullptr; }
    FakeFactory factory;
};

using Holder = Kordo::TKordoPtr<Kordo::IComponent, 1>;

} // namespace

TEST_F(ComponentHolder, DestroysWhatTheFactoryDoesNotKeep)
{
    FakeComponent component("a");
    {
        Holder holder(&component);
        EXPECT_TRUE(holder);
        EXPECT_EQ(holder.Get(), &component);
        EXPECT_TRUE(gEvents.empty());
    }
    EXPECT_EQ(gEvents, (std::vector<std::string>{"release other", "destroy a 0"}));
}

TEST_F(ComponentHolder, LeavesWhatTheFactoryKeeps)
{
    FakeComponent component("kept");
    factory.kept = &component;
    {
        Holder holder(&component);
    }
    EXPECT_EQ(gEvents, (std::vector<std::string>{"release kept"}));
}

TEST_F(ComponentHolder, EmptyHolderDoesNothing)
{
    {
        Holder holder;
        EXPECT_FALSE(holder);
        holder.Release();
    }
    EXPECT_TRUE(gEvents.empty());
}

TEST_F(ComponentHolder, ReassigningGivesBackTheOldComponentOnce)
{
    FakeComponent first("first");
    FakeComponent second("second");
    Holder holder(&first);
    holder = &first; // the same component: kept as is
    EXPECT_TRUE(gEvents.empty());
    holder = &second;
    EXPECT_EQ(gEvents, (std::vector<std::string>{"release other", "destroy first 0"}));
    holder.Release();
    EXPECT_FALSE(holder);
    holder.Release();
    EXPECT_EQ(gEvents.size(), 4u);
    EXPECT_EQ(gEvents.back(), "destroy second 0");
}

TEST_F(ComponentHolder, WithoutAFactoryTheHolderDestroys)
{
    Kordo::gComponentFactory = nullptr;
    FakeComponent component("orphan");
    {
        Holder holder(&component);
    }
    EXPECT_EQ(gEvents, (std::vector<std::string>{"destroy orphan 0"}));
}
