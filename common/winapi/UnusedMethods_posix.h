// SPDX-License-Identifier: GPL-3.0-or-later
// Our layer's interfaces hold only the methods that Tarnlow calls.
#pragma once

template <typename TInterface>
class CUnusedMethodsOf : public TInterface
{
};
