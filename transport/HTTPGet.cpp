#include "transport/HTTPGet.h"

THTTPGet::THTTPGet(TComponent* AOwner) : TComponent(AOwner) {}
