// What every request of the program accepts: https only, the server's certificate and name
// checked against the trusted certificate authorities.
#pragma once

#include <curl/curl.h>

void ApplyTlsPolicy(CURL* curl);
