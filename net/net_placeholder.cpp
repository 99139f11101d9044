// The networking layer grows here.
