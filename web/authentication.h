#pragma once
// Web logins without session state: four cookies carry an MD5 proof bound to the user's stored
// password, the time of issue and a nonce only this process can make (it mixes in the server secret).

#include "web/http_transaction.h"
#include "web/json_value.h"
#include "web/login_throttle.h"
#include "web/user_list.h"

#include <string>

// A proof older than this is renewed in passing; one older than the lifetime is refused.
constexpr long kProofRenewSeconds = 60;
constexpr long kProofLifetimeSeconds = 86400;

class Authentication {
public:
    // An empty secret (the random source failed) refuses every login and every proof.
    Authentication(UserList& users, std::string serverSecret);

    // Sets the cookies "login", "time", "nonce" and "password" of the transaction.
    void issueCookies(HttpTransaction& transaction, const std::string& name, const std::string& password);
    // Checks the transaction's cookies; on success sets "_USERNAME" and "_PERMISSIONS" of the request,
    // otherwise writes "error" "not logged in" and "error2" with the reason into the response.
    bool authenticate(HttpTransaction& transaction, JsonValue& request, JsonValue& response);

    // The command "login": writes nothing when name and password match.
    void login(JsonValue& request, JsonValue& response);
    // After a login without errors: the cookies and the log line.
    void completeLogin(HttpTransaction& transaction, const JsonValue& request, const JsonValue& response);
    // The command "chpass": the logged-in user's own password.
    void chpass(JsonValue& request, JsonValue& response);

private:
    std::string nonceFor(const std::string& timeText) const;

    UserList& users_;
    const std::string secret_;
    LoginThrottle throttle_;
};

// Texts compared in constant time (for equal lengths).
bool sameSecretText(const std::string& a, const std::string& b);

// "NAME from ADDRESS: message" to the system log; NAME and ADDRESS from the request's "_USERNAME"
// and "_REMOTEADDR" ("unknown" when absent).
void userLogLine(int level, const JsonValue& request, const char* format, ...)
    __attribute__((format(printf, 3, 4)));
