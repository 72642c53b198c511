// The simulated host: forms, their sites and what their windows show.
#include <gtest/gtest.h>

#include "platform/sim/platform.h"
#include "test_util.h"

namespace pd::sim {
namespace {

TEST(SimHost, FormSurfaceShowsOnlyWhatWasPresented) {
  SimPlatform p;
  auto& host = p.host();
  const WindowHandle form = host.CreateForm(u"frmMain");
  EXPECT_EQ(host.CreateFormSurface(form, 0, 5), nullptr);
  EXPECT_EQ(host.CreateFormSurface(form + 1, 5, 5), nullptr);

  auto surface = host.CreateFormSurface(form, 3, 2);
  ASSERT_NE(surface, nullptr);
  surface->SetBackColor(0x0000FF);
  surface->Clear();
  EXPECT_TRUE(p.host().Screen(form).empty());
  surface->Present();
  surface->FillRect(Rect{0, 0, 1, 1}, 0x00FF00);
  EXPECT_EQ(p.host().Screen(form), std::vector<Colour>(6, 0x0000FF)) << "the fill is not presented yet";
  surface->Present();
  EXPECT_EQ(p.host().Screen(form).front(), 0x00FF00U);
  EXPECT_EQ(p.host().Presents(form), 2);
}

}  // namespace
}  // namespace pd::sim
