#pragma once
// A window's control by its object name, for the tests and the screenshots that drive the
// windows as a person would.

#include <QWidget>
#include <stdexcept>
#include <string>

namespace nolvo::ui {

// The child of `parent` named `name`; throws std::logic_error when there is none.
template <class T>
T* Find(const QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  if (!child) throw std::logic_error(std::string("no control named ") + name);
  return child;
}

}  // namespace nolvo::ui
