// SPDX-License-Identifier: GPL-3.0-or-later
// Our layer's interfaces hold only the methods that Tarnlow calls. An interface whose methods a
// service may lack says so beside the interface (NetSharing_posix.h), answering E_NOTIMPL as the
// system's do where a service has no such thing.
#pragma once

template <typename TInterface>
class CUnusedMethodsOf : public TInterface
{
};
