#include "transport/INetDetector.h"

TINetDetector::TINetDetector(TComponent* AOwner) : TComponent(AOwner) {}
